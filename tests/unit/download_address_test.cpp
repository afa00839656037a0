// The address rules both transports are held to: decided in the core before any transport
// is asked, for the engine and for whole-file downloads alike.
#include <gtest/gtest.h>

#include <ostream>

#include "download/download_path.h"
#include "platform/unicode.h"

namespace zeva {

void PrintTo(AddressCheck check, std::ostream* out) {
  constexpr const char* kNames[] = {"kOk",      "kNotWeb",  "kNoHost",      "kHostTooLong",
                                    "kBadHost", "kBadPort", "kBadCharacter"};
  *out << kNames[static_cast<int>(check)];
}

namespace {

TEST(DownloadAddressTest, OnlyWebAddressesWithAUsableHost) {
  const std::u16string host255(255, u'h');
  const std::u16string host256(256, u'h');
  const struct {
    std::u16string url;
    AddressCheck expected;
  } cases[] = {
      {u"http://host/a", AddressCheck::kOk},
      {u"HTTP://host/a", AddressCheck::kOk},
      {u"hTtPs://host?b=c#d", AddressCheck::kOk},
      {u"http://user:pw@host/a", AddressCheck::kOk},
      {u"http://a@b@host/a", AddressCheck::kBadHost},  // which '@' ends the user?
      {u"http://user@/a", AddressCheck::kNoHost},
      {u"http://[::1]:8080/a", AddressCheck::kOk},
      {u"http://[::1/a", AddressCheck::kBadHost},
      {u"http://[]/a", AddressCheck::kNoHost},
      {u"http://下载.例子/文件.zip", AddressCheck::kOk},
      {u"http://" + host255 + u":80/a", AddressCheck::kOk},
      {u"http://" + host256 + u"/a", AddressCheck::kHostTooLong},
      {u"ftp://x", AddressCheck::kNotWeb},
      {u"file:///c:/a", AddressCheck::kNotWeb},
      {u"javascript:alert(1)", AddressCheck::kNotWeb},
      {u"httpx://host/a", AddressCheck::kNotWeb},
      {u"", AddressCheck::kNotWeb},
      {u"http:///path", AddressCheck::kNoHost},  // libcurl would take "path" for the host
      {u"http:/host/a", AddressCheck::kNoHost},
      {u"http://:80/a", AddressCheck::kNoHost},
      {u"http://host:/a", AddressCheck::kOk},  // the scheme's own port
      {u"http://host:0/a", AddressCheck::kBadPort},
      {u"http://host:65536/a", AddressCheck::kBadPort},
      {u"http://host:4294967376/a", AddressCheck::kBadPort},  // 80 past 2^32
      {u"http://host:8x/a", AddressCheck::kBadPort},
      {u"http://h\\evil.example/a", AddressCheck::kBadHost},
      {u"http://h%41/a", AddressCheck::kBadHost},
      {u"http://ho st/a", AddressCheck::kBadCharacter},
      {u"http://host/a\r\nX-Injected: 1", AddressCheck::kBadCharacter},
      {std::u16string(u"http://host/a\0b", 15), AddressCheck::kBadCharacter},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckDownloadAddress(c.url), c.expected) << Utf16ToUtf8(c.url);
  }
}

}  // namespace
}  // namespace zeva
