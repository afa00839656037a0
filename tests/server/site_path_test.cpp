#include "site_path.h"

#include <gtest/gtest.h>

#include "server_process.h"

namespace zeva::toolserver {
namespace {

namespace fs = std::filesystem;
using Verdict = SitePath::Verdict;

class SitePathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = m_scratch.Path() / "site";
    test::WriteFile(m_root / "CF30" / "index.html", "page");
    test::WriteFile(m_root / "中文" / "说明.txt", "text");
    test::WriteFile(m_root / ".secret", "hidden");
    test::WriteFile(m_scratch.Path() / "outside.txt", "outside");
  }
  test::ScratchFolder m_scratch;
  fs::path m_root;
};

TEST_F(SitePathTest, FindsFilesBelowTheRoot) {
  SitePath found = ResolveSitePath(m_root, "/CF30/index.html");
  ASSERT_EQ(found.verdict, Verdict::kFile);
  EXPECT_EQ(test::ReadFile(found.file), "page");
  EXPECT_EQ(ResolveSitePath(m_root, "//CF30/./index.html").verdict, Verdict::kFile);
  EXPECT_EQ(ResolveSitePath(m_root, "/中文/说明.txt").verdict, Verdict::kFile);
}

TEST_F(SitePathTest, RefusesPathsThatClimb) {
  for (const char* path : {"/../outside.txt", "/CF30/../../outside.txt", "/CF30/..",
                           "/CF30\\..\\..\\outside.txt", "/a/b/../../.."}) {
    EXPECT_EQ(ResolveSitePath(m_root, path).verdict, Verdict::kRefused) << path;
  }
}

TEST_F(SitePathTest, RefusesLinksThatLeadOutside) {
  fs::create_symlink(m_scratch.Path() / "outside.txt", m_root / "link.txt");
  fs::create_directory_symlink(m_scratch.Path(), m_root / "up");
  EXPECT_EQ(ResolveSitePath(m_root, "/link.txt").verdict, Verdict::kRefused);
  EXPECT_EQ(ResolveSitePath(m_root, "/up/outside.txt").verdict, Verdict::kRefused);
  fs::create_symlink(m_root / "CF30" / "index.html", m_root / "inside.html");
  EXPECT_EQ(ResolveSitePath(m_root, "/inside.html").verdict, Verdict::kFile);
}

TEST_F(SitePathTest, FoldersHiddenNamesAndMissingFilesAreNotFound) {
  EXPECT_EQ(ResolveSitePath(m_root, "/CF30").verdict, Verdict::kNotFound);
  EXPECT_EQ(ResolveSitePath(m_root, "/").verdict, Verdict::kNotFound);
  EXPECT_EQ(ResolveSitePath(m_root, "/.secret").verdict, Verdict::kNotFound);
  EXPECT_EQ(ResolveSitePath(m_root, "/CF30/missing.html").verdict, Verdict::kNotFound);
  EXPECT_EQ(ResolveSitePath(m_scratch.Path() / "no-such-root", "/x").verdict, Verdict::kNotFound);
}

TEST_F(SitePathTest, RejectsWhatIsNoPath) {
  EXPECT_EQ(ResolveSitePath(m_root, "CF30/index.html").verdict, Verdict::kBad);
  EXPECT_EQ(ResolveSitePath(m_root, "").verdict, Verdict::kBad);
  EXPECT_EQ(ResolveSitePath(m_root, std::string_view("/CF30/index.html\0.txt", 21)).verdict,
            Verdict::kBad);
}

}  // namespace
}  // namespace zeva::toolserver
