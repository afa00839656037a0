#include <gtest/gtest.h>

#include "app/text_codecs.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

using test::TestPlatform;

TEST(MacAddressTextTest, LowerCaseHexWithoutLeadingZeros) {
  TestPlatform test;
  EXPECT_EQ(GetMacAddressText(test.platform), u"0-1b-fc-a-5-e3");
  test.adapters.address = HardwareAddress{0xFF, 0x00, 0x10, 0xAB, 0xCD, 0x01};
  EXPECT_EQ(GetMacAddressText(test.platform), u"ff-0-10-ab-cd-1");
  test.adapters.address.reset();
  EXPECT_EQ(GetMacAddressText(test.platform), u"");
}

TEST(UrlEncodeTest, EveryUtf8ByteIsEncoded) {
  EXPECT_EQ(UrlEncode(u"abc"), u"%61%62%63");
  EXPECT_EQ(UrlEncode(u"登"), u"%e7%99%bb");
  EXPECT_EQ(UrlEncode(u"a b"), u"%61%20%62");
  EXPECT_EQ(UrlEncode(u"\U0001F600"), u"%f0%9f%98%80");
  EXPECT_EQ(UrlEncode(u""), u"");
  // An unpaired surrogate is replaced, as the system's conversion does.
  EXPECT_EQ(UrlEncode(std::u16string(1, char16_t{0xD800})), u"%ef%bf%bd");
}

TEST(Base64Test, EncodesTheLowByteOfEachUnit) {
  EXPECT_EQ(Base64Encode(u""), u"");
  EXPECT_EQ(Base64Encode(u"f"), u"Zg==");
  EXPECT_EQ(Base64Encode(u"fo"), u"Zm8=");
  EXPECT_EQ(Base64Encode(u"foo"), u"Zm9v");
  EXPECT_EQ(Base64Encode(u"foobar"), u"Zm9vYmFy");
  EXPECT_EQ(Base64Encode(u"\u0141"), Base64Encode(u"\u0041"));  // high bits lost
  EXPECT_EQ(Base64Encode(u"\u00FF\u00FE"), u"//4=");
}

TEST(Base64Test, DecodeGivesBackTheAsciiThatWasEncoded) {
  TestPlatform test;
  for (const std::u16string text : {u"", u"a", u"ab", u"abc", u"abcd", u"pass word!", u"x=y&z"}) {
    EXPECT_EQ(Base64Decode(Base64Encode(text), *test.codec), text) << Base64Encode(text).size();
  }
}

TEST(Base64Test, DecodeReadsBytesInTheAnsiCodePage) {
  TestPlatform test;
  // "登录" in code page 936: B5 C7 C2 BC.
  EXPECT_EQ(Base64Decode(u"tcfCvA==", *test.codec), u"登录");
  // Bytes after a zero byte are dropped.
  EXPECT_EQ(Base64Decode(u"YQBi", *test.codec), u"a");
}

TEST(Base64Test, DecodeOfShortOrStrayText) {
  TestPlatform test;
  // Shorter than one group: nothing.
  EXPECT_EQ(Base64Decode(u"Zg=", *test.codec), u"");
  EXPECT_EQ(Base64Decode(u"Z", *test.codec), u"");
  // Characters outside the alphabet are skipped inside groups.
  EXPECT_EQ(Base64Decode(u"Zm9v\r\nYmFy", *test.codec), u"foobar");
  // The output length comes from the text's length; missing characters count as zero bits.
  EXPECT_EQ(Base64Decode(u"Zm9v*", *test.codec), u"foo");
  EXPECT_EQ(Base64Decode(u"Zg!!", *test.codec), u"f");
  EXPECT_EQ(Base64Decode(u"====", *test.codec), u"");
}

}  // namespace
}  // namespace zeva
