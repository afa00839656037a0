#include "changelog.h"

#include <gtest/gtest.h>

namespace zeva::toolserver {
namespace {

TEST(ChangelogTest, ReadsReleasesAndSkipsWhatItDoesNotKnow) {
  std::vector<Release> releases = ParseChangelog(
      "# comment\r\n"
      "- a change before any release is dropped\n"
      "V3.0.6 2026-10-15\r\n"
      "- 新增窗口化\n"
      "  * 修复下载\n"
      "stray text\n"
      "-\n"
      "V3.0.5\n"
      "- 首个版本");
  ASSERT_EQ(releases.size(), 2u);
  EXPECT_EQ(releases[0].version, "V3.0.6");
  EXPECT_EQ(releases[0].date, "2026-10-15");
  EXPECT_EQ(releases[0].changes, (std::vector<std::string>{"新增窗口化", "修复下载"}));
  EXPECT_EQ(releases[1].version, "V3.0.5");
  EXPECT_EQ(releases[1].date, "");
  EXPECT_EQ(releases[1].changes, (std::vector<std::string>{"首个版本"}));
  EXPECT_TRUE(ParseChangelog("").empty());
}

TEST(ChangelogTest, ComparesVersionsNumberByNumber) {
  EXPECT_GT(CompareVersions("V3.0.10", "V3.0.9"), 0);
  EXPECT_LT(CompareVersions("V3.0.6", "V3.1"), 0);
  EXPECT_EQ(CompareVersions("V3.0", "v3.0.0"), 0);
  EXPECT_EQ(CompareVersions("V3.0.6", "3.0.6"), 0);
  EXPECT_GT(CompareVersions("V3.0.6", ""), 0);
}

TEST(ChangelogTest, LatestIsTheHighestVersionWhateverTheOrder) {
  std::vector<Release> releases = ParseChangelog("V3.0.5\nV3.0.10\nV3.0.9\n");
  ASSERT_NE(LatestRelease(releases), nullptr);
  EXPECT_EQ(LatestRelease(releases)->version, "V3.0.10");
  EXPECT_EQ(LatestRelease({}), nullptr);
}

TEST(ChangelogTest, RendersNewestFirstAndEscapesText) {
  std::vector<Release> releases =
      ParseChangelog("V1.0 <b>\n- a <script>alert(1)</script> & b\nV2.0\n- two\n");
  std::string page = RenderUpdateList("<body><!--ZEVA:RELEASES--></body>", releases);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("a &lt;script&gt;alert(1)&lt;/script&gt; &amp; b"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;"), std::string::npos);
  EXPECT_LT(page.find("V2.0"), page.find("V1.0"));
  EXPECT_EQ(page.rfind("<body>", 0), 0u);
  EXPECT_NE(RenderUpdateList("<body></body>", {}).find("暂无更新记录"), std::string::npos);
}

}  // namespace
}  // namespace zeva::toolserver
