#include <gtest/gtest.h>

#include <string>

#include "game/profile.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::TestPlatform;
using test::WriteBytes;

class ProfileTest : public ::testing::Test {
 protected:
  std::u16string Get(std::u16string_view section, std::u16string_view key, size_t capacity = 256,
                     std::u16string_view def = u"") {
    return ProfileGetString(m_test.platform, section, key, def, capacity, m_file);
  }
  bool Set(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    return ProfileSetString(m_test.platform, section, key, value, m_file);
  }
  void Write(std::string_view bytes) { WriteBytes(m_file, bytes); }
  std::string Bytes() const { return ReadBytes(m_file); }

  TempFolder m_folder;
  TestPlatform m_test{m_folder.Path()};
  std::u16string m_file = m_folder / u"config.ini";
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Get(u"system", u"exit", 10, u"dflt  "), u"dflt");  // trailing blanks dropped
  EXPECT_EQ(Get(u"system", u"exit", 3, u"dflt"), u"df");       // cut like a value
  Write("[system]\r\nexit=1\r\n");
  EXPECT_EQ(Get(u"other", u"exit", 10, u"x"), u"x");
  EXPECT_EQ(Get(u"system", u"run", 10, u"x"), u"x");
  EXPECT_EQ(Get(u"system", u"exit"), u"1");
}

TEST_F(ProfileTest, NewFileIsWrittenInTheAnsiCodePage) {
  ASSERT_TRUE(Set(u"CF Info", u"FOLDER", u"D:\\游戏\\穿越火线"));
  EXPECT_EQ(Get(u"CF Info", u"FOLDER"), u"D:\\游戏\\穿越火线");
  const std::string bytes = Bytes();
  EXPECT_TRUE(bytes.starts_with("[CF Info]\r\nFOLDER=D:\\"));
  EXPECT_NE(bytes.find("\xB4\xA9\xD4\xBD\xBB\xF0\xCF\xDF"), std::string::npos);  // 穿越火线
  EXPECT_TRUE(bytes.ends_with("\r\n"));
}

TEST_F(ProfileTest, NamesMatchWithoutRegardToCaseOrSurroundingBlanks) {
  Write("[System]\r\nEXIT=2\r\n");
  EXPECT_EQ(Get(u"system", u"exit"), u"2");
  EXPECT_EQ(Get(u" SYSTEM ", u" Exit "), u"2");
  ASSERT_TRUE(Set(u"sYsTeM", u"exit", u"1"));
  EXPECT_EQ(Bytes(), "[System]\r\nEXIT=1\r\n");  // the file keeps its own spelling
}

TEST_F(ProfileTest, ValuesAreTrimmedAndLoseOnePairOfQuotes) {
  Write(
      "[s]\r\n  a =  1  \r\nb=\"quoted\"\r\nc='single'\r\nd=\"mixed'\r\ne=\"\r\nf=\"\"\r\n"
      "g=\" spaced \"\r\nh=\"\"twice\"\"\r\ni=\t01\t\r\n");
  EXPECT_EQ(Get(u"s", u"a"), u"1");
  EXPECT_EQ(Get(u"s", u"b"), u"quoted");
  EXPECT_EQ(Get(u"s", u"c"), u"single");
  EXPECT_EQ(Get(u"s", u"d"), u"\"mixed'");
  EXPECT_EQ(Get(u"s", u"e"), u"\"");
  EXPECT_EQ(Get(u"s", u"f"), u"");
  EXPECT_EQ(Get(u"s", u"g"), u" spaced ");
  EXPECT_EQ(Get(u"s", u"h"), u"\"twice\"");
  EXPECT_EQ(Get(u"s", u"i"), u"01");  // "01" is not "1": readers compare exactly
}

TEST_F(ProfileTest, ValuesAreCutToCapacityLessOne) {
  Write("[s]\r\nk=abcdef\r\nq=\"abcdef\"\r\n");
  EXPECT_EQ(Get(u"s", u"k", 4), u"abc");
  EXPECT_EQ(Get(u"s", u"k", 7), u"abcdef");
  EXPECT_EQ(Get(u"s", u"q", 4), u"abc");
  EXPECT_EQ(Get(u"s", u"k", 1), u"");
  EXPECT_EQ(Get(u"s", u"k", 0), u"");
}

TEST_F(ProfileTest, AWriteChangesOnlyItsOwnLine) {
  const std::string before =
      "; comment\n[CF Info]\n  FOLDER = old  \nodd line without equals\n\n"
      "[system]\r\nexit=0\rrun=1\n\xB4\xA9\xD4\xBD=\xFF\xFE garbage\n";
  Write(before);
  ASSERT_TRUE(Set(u"CF Info", u"folder", u"new"));
  std::string expected = before;
  expected.replace(expected.find("  FOLDER = old  "), 16, "FOLDER=new");
  EXPECT_EQ(Bytes(), expected);
  EXPECT_EQ(Get(u"system", u"run"), u"1");
  EXPECT_TRUE(Get(u"system", u"穿越").ends_with(u"garbage"));
}

TEST_F(ProfileTest, NewKeysJoinTheirSectionAndNewSectionsGoAtTheEnd) {
  Write("[a]\nx=1\n\n[b]\ny=2");  // LF line breaks, no line break at the end
  ASSERT_TRUE(Set(u"a", u"new", u"v"));
  EXPECT_EQ(Bytes(), "[a]\nx=1\nnew=v\n\n[b]\ny=2");
  ASSERT_TRUE(Set(u"b", u"z", u"3"));
  EXPECT_EQ(Bytes(), "[a]\nx=1\nnew=v\n\n[b]\ny=2\nz=3\n");
  ASSERT_TRUE(Set(u"c", u"k", u"  leading blanks dropped"));
  EXPECT_EQ(Bytes(), "[a]\nx=1\nnew=v\n\n[b]\ny=2\nz=3\n[c]\nk=leading blanks dropped\n");
}

TEST_F(ProfileTest, AnUnchangedValueDoesNotRewriteTheFile) {
  ASSERT_TRUE(Set(u"s", u"k", u"v"));
  const int writes = m_test.files.replaceCount;
  EXPECT_TRUE(Set(u"S", u"K", u"v"));
  EXPECT_EQ(m_test.files.replaceCount, writes);
}

TEST_F(ProfileTest, Utf16FilesAreReadAndWrittenAsUtf16) {
  auto utf16 = [](std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
  };
  Write(utf16(u"[CF Info]\r\nFOLDER=C:\\穿越火线\r\n"));
  EXPECT_EQ(Get(u"cf info", u"folder"), u"C:\\穿越火线");
  ASSERT_TRUE(Set(u"CF Info", u"FOLDER_TYF", u"D:\\体验服"));
  ASSERT_TRUE(Set(u"新", u"键", u"值"));
  EXPECT_EQ(Bytes(), utf16(u"[CF Info]\r\nFOLDER=C:\\穿越火线\r\nFOLDER_TYF=D:\\体验服\r\n"
                           u"[新]\r\n键=值\r\n"));
}

TEST_F(ProfileTest, Utf8FilesWithAByteOrderMarkStayUtf8) {
  Write("\xEF\xBB\xBF[s]\nk=\xE7\x99\xBB\n");
  EXPECT_EQ(Get(u"s", u"k"), u"登");
  ASSERT_TRUE(Set(u"s", u"k", u"录"));
  EXPECT_EQ(Bytes(), "\xEF\xBB\xBF[s]\nk=\xE5\xBD\x95\n");
}

TEST_F(ProfileTest, BrokenFilesGiveSensibleAnswersAndKeepTheirBytes) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) {
    const char c = static_cast<char>((i * 7919) % 256);
    garbage += (c == '\r' || c == '\n') ? 'x' : c;  // one long line of binary
  }
  const std::string longValue(100000, 'x');
  const std::string before = garbage + "\r\n[unterminated\r\nk=in head?\r\n[s]\r\nnul=a" +
                             std::string(1, '\0') + "b\r\nlong=" + longValue + "\r\n[t]";
  Write(before);
  EXPECT_EQ(Get(u"s", u"nul"), u"a");  // a NUL ends the value, as in a C string
  EXPECT_EQ(Get(u"s", u"long", 200000).size(), 100000u);
  EXPECT_EQ(Get(u"unterminated", u"k"), u"");
  ASSERT_TRUE(Set(u"t", u"k", u"v"));
  EXPECT_EQ(Bytes(), before + "\r\nk=v\r\n");
  ASSERT_TRUE(Set(u"s", u"nul", u"fixed"));
  EXPECT_EQ(Get(u"s", u"nul"), u"fixed");
  EXPECT_TRUE(Bytes().starts_with(garbage));
}

TEST_F(ProfileTest, TheFirstOfDuplicateSectionsAndKeysWins) {
  Write("[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\nonly=4\r\n");
  EXPECT_EQ(Get(u"s", u"k"), u"1");
  EXPECT_EQ(Get(u"s", u"only"), u"");
  ASSERT_TRUE(Set(u"s", u"k", u"9"));
  EXPECT_EQ(Bytes(), "[s]\r\nk=9\r\nk=2\r\n[S]\r\nk=3\r\nonly=4\r\n");
}

TEST_F(ProfileTest, KeysBeforeTheFirstSectionBelongToTheNamelessOne) {
  Write("top=1\r\n[s]\r\nk=2\r\n");
  EXPECT_EQ(Get(u"", u"top"), u"1");
  EXPECT_EQ(Get(u"s", u"top"), u"");
  ASSERT_TRUE(Set(u"", u"second", u"x"));
  EXPECT_EQ(Bytes(), "top=1\r\nsecond=x\r\n[s]\r\nk=2\r\n");
}

TEST_F(ProfileTest, LineBreaksInNamesOrValuesAreRefused) {
  Write("[s]\r\nk=1\r\n");
  EXPECT_FALSE(Set(u"s", u"k", u"x\r\n[evil]\r\ny=1"));
  EXPECT_FALSE(Set(u"s\n", u"k", u"x"));
  EXPECT_FALSE(Set(u"s", u"k\r", u"x"));
  EXPECT_EQ(Bytes(), "[s]\r\nk=1\r\n");
}

TEST_F(ProfileTest, AFailedWriteReportsFailureAndKeepsTheOldFile) {
  Write("[s]\r\nk=1\r\n");
  m_test.files.failWrites = true;
  EXPECT_FALSE(Set(u"s", u"k", u"2"));
  EXPECT_EQ(Bytes(), "[s]\r\nk=1\r\n");
  m_test.files.failWrites = false;
  test::SetReadOnly(m_file, true);
  EXPECT_FALSE(Set(u"s", u"k", u"2"));
  EXPECT_FALSE(Set(u"s", u"k", u"1"));  // nothing to change, but the file is not writable
  test::SetReadOnly(m_file, false);
  EXPECT_EQ(Bytes(), "[s]\r\nk=1\r\n");
  EXPECT_FALSE(
      ProfileSetString(m_test.platform, u"s", u"k", u"v", m_folder / u"missing-folder/config.ini"));
}

TEST_F(ProfileTest, AFileNameWithoutAFolderIsLookedForInTheClientFolder) {
  ASSERT_TRUE(ProfileSetString(m_test.platform, u"s", u"k", u"v", u"config.ini"));
  EXPECT_EQ(Get(u"s", u"k"), u"v");
  EXPECT_EQ(ConfigFilePath(m_test.platform), m_file);
}

}  // namespace
}  // namespace zeva
