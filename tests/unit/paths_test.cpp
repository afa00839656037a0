#include <gtest/gtest.h>

#include "game/paths.h"
#include "platform/path_style.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

using test::TempFolder;
using test::TestPlatform;

// Writes a Windows-style path with the port's separator.
std::u16string P(std::u16string text) {
  for (char16_t& c : text) {
    if (c == u'\\') c = kPathSeparator;
  }
  return text;
}

TEST(GetFolderPartTest, CutsAtTheLastSeparator) {
  EXPECT_EQ(GetFolderPart(P(u"D:\\a\\b.zip"), false), P(u"D:\\a"));
  EXPECT_EQ(GetFolderPart(P(u"D:\\a\\b.zip"), true), P(u"D:\\a\\"));
  EXPECT_EQ(GetFolderPart(u"b.zip", false), u"");
  EXPECT_EQ(GetFolderPart(u"b.zip", true), u"");
  EXPECT_EQ(GetFolderPart(P(u"D:\\a\\"), false), P(u"D:\\a"));
  // Paths from pages use backslashes on every port.
  EXPECT_EQ(GetFolderPart(u"C:\\Games\\CF\\QQLogin.exe", true), u"C:\\Games\\CF\\");
}

TEST(GetClientFolderTest, IsTheExecutablesFolderWithOneSeparator) {
  TestPlatform test;
  test.files.executablePath = P(u"D:\\Tools\\ZEVA.exe");
  EXPECT_EQ(GetClientFolder(test.platform), P(u"D:\\Tools\\"));
  // The real executable path: the folder exists and ends in a separator.
  test.files.executablePath.clear();
  const std::u16string folder = GetClientFolder(test.platform);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), kPathSeparator);
  const std::optional<uint32_t> attributes =
      test.files.GetAttributes(folder.substr(0, folder.size() - 1));
  ASSERT_TRUE(attributes.has_value());
  EXPECT_TRUE(*attributes & kAttrDirectory);
}

TEST(MakeDirectoryPathTest, CreatesEveryFolderAlongThePath) {
  TempFolder temp;
  TestPlatform test;
  EXPECT_TRUE(MakeDirectoryPath(test.platform, temp / P(u"x\\y\\z")));
  EXPECT_TRUE(std::filesystem::is_directory(temp.Native() / "x" / "y" / "z"));
  EXPECT_TRUE(MakeDirectoryPath(test.platform, temp / P(u"x\\y\\z")));  // already there
}

TEST(MakeDirectoryPathTest, ATrailingSeparatorCreatesButReportsFalse) {
  TempFolder temp;
  TestPlatform test;
  EXPECT_FALSE(MakeDirectoryPath(test.platform, temp / P(u"x\\y\\z\\")));
  EXPECT_TRUE(std::filesystem::is_directory(temp.Native() / "x" / "y" / "z"));
}

TEST(MakeDirectoryPathTest, AFileInTheWayIsNotAFolder) {
  TempFolder temp;
  TestPlatform test;
  test::WriteBytes(temp / u"file", "x");
  EXPECT_FALSE(MakeDirectoryPath(test.platform, temp / u"file"));
  EXPECT_FALSE(MakeDirectoryPath(test.platform, temp / P(u"file\\below")));
}

TEST(MakeDirectoryPathTest, LongPathsAndChineseNames) {
  TempFolder temp;
  TestPlatform test;
  std::u16string path = temp.Path();
  for (int i = 0; i < 8; ++i) path += P(u"穿越火线文件夹名字很长很长很长很长很长很长\\");
  path += u"最后";
  EXPECT_TRUE(MakeDirectoryPath(test.platform, path));
}

}  // namespace
}  // namespace zeva
