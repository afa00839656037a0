#include "host/page_texts.h"

#include <gtest/gtest.h>

namespace zeva {
namespace {

TEST(PageTextsTest, TheErrorPageNamesTheServerOnly) {
  const std::u16string page = LoadErrorPage(
      u"http://127.0.0.1:8088/CF30/CF_Index.aspx?ToolId=1&SetUp=false&ClientVersion=V3.0.6"
      u"&UID=10001&UWD=secret<b>");
  // Shown: the server; kept for the retry link only: the whole address, escaped.
  EXPECT_NE(page.find(u"<br>http://127.0.0.1:8088</p>"), std::u16string::npos);
  EXPECT_NE(page.find(u"href=\"http://127.0.0.1:8088/CF30/CF_Index.aspx?ToolId=1&amp;"),
            std::u16string::npos);
  EXPECT_EQ(page.find(u"secret<b>"), std::u16string::npos);
  EXPECT_EQ(page.find(u">http://127.0.0.1:8088/CF30"), std::u16string::npos);
}

}  // namespace
}  // namespace zeva
