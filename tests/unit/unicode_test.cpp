#include <gtest/gtest.h>

#include "platform/unicode.h"

namespace zeva {
namespace {

TEST(UnicodeTest, RoundTripsEveryPlane) {
  const std::u16string text = u"aé登\U0001F600\uFFFF";
  EXPECT_EQ(Utf16ToUtf8(text), "a\xC3\xA9\xE7\x99\xBB\xF0\x9F\x98\x80\xEF\xBF\xBF");
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

TEST(UnicodeTest, BrokenInputIsReplacedNotDropped) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xDC00"
                        u"b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\xFFFD"
            u"b");
  EXPECT_EQ(Utf8ToUtf16("\xE7\x99"), u"\xFFFD");        // cut short
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\xFFFD\xFFFD");  // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\xFFFD");    // encoded surrogate
  EXPECT_EQ(Utf8ToUtf16("\xE7\x99"
                        "A"),
            u"\xFFFD"
            u"A");  // the byte that broke the sequence is kept
}

TEST(UnicodeTest, CaseFoldingCoversTheScriptsOfNames) {
  EXPECT_TRUE(EqualsIgnoreCase(u"CF Info", u"cf INFO"));
  EXPECT_TRUE(EqualsIgnoreCase(u"ÉTÉ", u"été"));
  EXPECT_TRUE(EqualsIgnoreCase(u"ĀĂ", u"āă"));
  EXPECT_TRUE(EqualsIgnoreCase(u"ДОМ", u"дом"));
  EXPECT_TRUE(EqualsIgnoreCase(u"ＡＢ", u"ａｂ"));
  EXPECT_FALSE(EqualsIgnoreCase(u"穿越", u"穿"));
  EXPECT_FALSE(EqualsIgnoreCase(u"a", u"b"));
  EXPECT_FALSE(EqualsIgnoreCase(u"×", u"÷"));
}

}  // namespace
}  // namespace zeva
