// The blocking requests through the port's own layers against the test peer (libcurl
// natively; WinINet and the URL moniker under Wine): the login form's request and its boxes,
// whole-file downloads that never leave a partial file, and the updater's fetch.
#include <gtest/gtest.h>
#include <sodium.h>

#include "app/login.h"
#include "app/self_update.h"
#include "download/whole_file_download.h"
#include "platform/unicode.h"
#include "support/temp_folder.h"
#include "support/test_blob.h"
#include "support/test_platform.h"
#include "test_peer.h"

namespace zeva::test {
namespace {

std::string Base64(const unsigned char* bytes, size_t size) {
  std::string text(sodium_base64_encoded_len(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.pop_back();  // its terminating NUL
  return text;
}

// A key made here and minisign's signature of `bytes` with it (BLAKE2b-512, signed).
struct SignedBytes {
  std::string publicKey;
  std::string signature;
};
SignedBytes SignLikeMinisign(std::string_view bytes) {
  EXPECT_GE(sodium_init(), 0);
  const std::string keyId = "zevatest";
  unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
  unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
  crypto_sign_keypair(publicKey, secretKey);
  unsigned char digest[crypto_generichash_BYTES_MAX];
  crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(bytes.data()),
                     bytes.size(), nullptr, 0);
  std::string key =
      "Ed" + keyId + std::string(reinterpret_cast<char*>(publicKey), sizeof publicKey);
  std::string line = "ED" + keyId + std::string(crypto_sign_BYTES, '\0');
  auto* signature = reinterpret_cast<unsigned char*>(line.data()) + 10;
  crypto_sign_detached(signature, nullptr, digest, sizeof digest, secretKey);
  const std::string comment = "file:KIVOUpdate.exe";
  std::string covered(reinterpret_cast<char*>(signature), crypto_sign_BYTES);
  covered += comment;
  unsigned char global[crypto_sign_BYTES];
  crypto_sign_detached(global, nullptr, reinterpret_cast<const unsigned char*>(covered.data()),
                       covered.size(), secretKey);
  return {Base64(reinterpret_cast<const unsigned char*>(key.data()), key.size()),
          "untrusted comment: test\n" +
              Base64(reinterpret_cast<const unsigned char*>(line.data()), line.size()) +
              "\ntrusted comment: " + comment + "\n" + Base64(global, sizeof global) + "\n"};
}

class BlockingRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_peer.Available()) GTEST_SKIP() << "no test server (ZEVA_TEST_SERVER is not set)";
  }
  std::u16string Url(const std::string& path) const { return Utf8ToUtf16(m_peer.BaseUrl() + path); }
  AccountServer Account() const {
    const std::string base = m_peer.BaseUrl();  // http://127.0.0.1:port
    return {u"127.0.0.1", static_cast<uint16_t>(std::stoi(base.substr(base.rfind(':') + 1)))};
  }
  bool Exists(const std::u16string& path) { return m_test.files.GetAttributes(path).has_value(); }

  TestPeer m_peer;
  TempFolder m_folder;
  TestPlatform m_test{m_folder.Path()};
  const std::u16string m_target = m_folder / u"KIVOUpdate.exe";
};

TEST_F(BlockingRequestsTest, TheLoginReplyIsShownAsTheServerSentIt) {
  // "1|10001|登录成功" in GBK, the code page the client reads replies in.
  if (!m_peer.AddFile("ajax.php", "1|10001|\xb5\xc7\xc2\xbc\xb3\xc9\xb9\xa6")) {
    GTEST_SKIP() << "the server in another process takes no files";
  }
  RunLoginCommand(m_test.platform, 0x700, Account(), u"玩家 1", u"a&b");
  ASSERT_EQ(m_test.dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_test.dialogs.boxes[0].text, u"1|10001|登录成功");
  const auto seen = m_peer.Requests();
  ASSERT_TRUE(seen && seen->size() == 1u);
  EXPECT_EQ(seen->at(0).target,
            "/ajax.php?action=login&rcode=%e7%8e%a9%e5%ae%b6%20%31%09%61%26%62&appid=17");
  EXPECT_EQ(seen->at(0).userAgent, "ZEVA");
}

TEST_F(BlockingRequestsTest, AnotherStatusIsAnErrorBoxWithItsNumber) {
  RunLoginCommand(m_test.platform, 0x700, Account(), u"zeva", u"123456");  // no /ajax.php: 404
  ASSERT_EQ(m_test.dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_test.dialogs.boxes[0].text, u"POST出错，错误码：404");
  EXPECT_EQ(m_test.dialogs.boxes[0].style, kMbOk | kMbIconExclamation);
  EXPECT_EQ(m_test.login.requests.size(), 1u);
}

TEST_F(BlockingRequestsTest, AWholeFileOrNoneUnderTheFinalName) {
  constexpr size_t kSize = 300000;
  uint64_t lastReceived = 0, lastTotal = 0;
  EXPECT_EQ(DownloadWholeFile(m_test.platform, Url("/file/" + BlobName(kSize, 4)), m_target,
                              [&](uint64_t received, uint64_t total) {
                                lastReceived = received;
                                lastTotal = total;
                              }),
            DownloadResult::kDone);
  EXPECT_EQ(ReadBytes(m_target), MakeBlob(kSize, 4));
  EXPECT_EQ(lastReceived, kSize);
  EXPECT_FALSE(Exists(m_target + u".part"));

  // Failures keep the whole file that was there and leave no part behind.
  const std::string failing[] = {"/status/404", "/drop/" + BlobName(kSize, 5) + "?at=1000",
                                 "/file/no-such-file"};
  for (const std::string& path : failing) {
    EXPECT_EQ(DownloadWholeFile(m_test.platform, Url(path), m_target), DownloadResult::kFailed)
        << path;
    EXPECT_EQ(ReadBytes(m_target), MakeBlob(kSize, 4)) << path;
    EXPECT_FALSE(Exists(m_target + u".part")) << path;
  }
}

TEST_F(BlockingRequestsTest, RedirectsAndASchemeInCapitalsAreFollowed) {
  const std::u16string url = Url("/redirect/3/" + BlobName(5000, 8));
  ASSERT_EQ(url.substr(0, 5), u"http:");
  EXPECT_EQ(DownloadWholeFile(m_test.platform, u"HTTP" + url.substr(4), m_target),
            DownloadResult::kDone);
  EXPECT_EQ(ReadBytes(m_target), MakeBlob(5000, 8));
}

TEST_F(BlockingRequestsTest, ACancelledDownloadLeavesNothing) {
  DownloadCancel cancel;
  const DownloadResult result = DownloadWholeFile(
      m_test.platform, Url("/drip/" + BlobName(100000, 6) + "?chunk=1000&ms=20"), m_target,
      [&](uint64_t received, uint64_t) {
        if (received > 0) cancel.Cancel();  // as another thread would
      },
      &cancel);
  EXPECT_EQ(result, DownloadResult::kCancelled);
  EXPECT_FALSE(Exists(m_target));
  EXPECT_FALSE(Exists(m_target + u".part"));
}

TEST_F(BlockingRequestsTest, AMissingUpdaterIsFetchedThenStarted) {
  // The updater's path rides in the query of a blob's address, so both peers can serve it; its
  // signature, which they cannot serve, is already beside it.
  const SignedBytes signedBlob = SignLikeMinisign(MakeBlob(5000, 7));
  WriteBytes(m_target + u".minisig", signedBlob.signature);
  int quits = 0;
  SelfUpdate update(
      m_test.platform, Utf8ToUtf16(m_peer.BaseUrl() + "/file/" + BlobName(5000, 7) + "?at="),
      [] { return WindowHandle{0x700}; }, [&] { ++quits; }, signedBlob.publicKey);
  update.Start();
  EXPECT_TRUE(m_test.dialogs.boxes.empty());
  EXPECT_EQ(ReadBytes(m_target), MakeBlob(5000, 7));
  ASSERT_EQ(m_test.shell.calls.size(), 1u);
  EXPECT_EQ(m_test.shell.calls[0].file, m_target);
  EXPECT_EQ(quits, 1);
}

}  // namespace
}  // namespace zeva::test
