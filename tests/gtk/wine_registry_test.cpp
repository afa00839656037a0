#include <gtest/gtest.h>

#include "ports/posix/wine_registry.h"
#include "support/temp_folder.h"

namespace zeva::posix {
namespace {

// Written the way Wine writes its registry files.
constexpr std::string_view kUserReg = R"(WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-0-0-0-1000

#arch=win64

[Software\\KIVO\\CF] 1796808158
#time=1dd87bed5678da6
@="default text"
"Folder"="C:\\Games\\\x7a7f\x8d8a\x706b\x7ebf"
"Quoted"="say \"hi\"\tnow"
"Expand"=str(2):"%ProgramFiles%\\CF"
"Hex"=hex(2):43,00,3a,00,5c,00,\
  78,00,00,00
"Count"=dword:00000001
"Multi"=str(7):"a\0b\0"
"Binary"=hex:01,02
"Nul"="ab\0cd"

[Software\\Other] 1796808158
"Folder"="wrong key"
)";

TEST(WineRegistryTest, ReadsStringsWithWinesEscapes) {
  EXPECT_EQ(FindRegistryString(kUserReg, u"Software\\KIVO\\CF", u""), u"default text");
  EXPECT_EQ(FindRegistryString(kUserReg, u"software\\kivo\\cf", u"FOLDER"), u"C:\\Games\\穿越火线");
  EXPECT_EQ(FindRegistryString(kUserReg, u"Software\\KIVO\\CF", u"Quoted"), u"say \"hi\"\tnow");
  EXPECT_EQ(FindRegistryString(kUserReg, u"Software\\KIVO\\CF", u"Expand"),
            u"%ProgramFiles%\\CF");  // not expanded
  EXPECT_EQ(FindRegistryString(kUserReg, u"Software\\KIVO\\CF", u"Hex"), u"C:\\x");
  EXPECT_EQ(FindRegistryString(kUserReg, u"Software\\KIVO\\CF", u"Nul"), u"ab");
  EXPECT_EQ(FindRegistryString(kUserReg, u"Software\\Other", u"Folder"), u"wrong key");
}

TEST(WineRegistryTest, OtherTypesAndMissingNamesReadNothing) {
  for (std::u16string_view name : {u"Count", u"Multi", u"Binary", u"Missing"}) {
    EXPECT_FALSE(FindRegistryString(kUserReg, u"Software\\KIVO\\CF", name));
  }
  EXPECT_FALSE(FindRegistryString(kUserReg, u"Software\\KIVO", u"Folder"));
  EXPECT_FALSE(FindRegistryString("", u"Software\\KIVO\\CF", u""));
  EXPECT_FALSE(FindRegistryString("[unterminated\n\"Folder\"=\"x\"\n", u"unterminated", u"Folder"));
  EXPECT_FALSE(FindRegistryString("[k]\n\"Folder\"=\"no end\n", u"k", u"Folder"));
}

TEST(WineRegistryTest, RootsMapToThePrefixFiles) {
  test::TempFolder prefix;
  test::WriteBytes(prefix / u"system.reg",
                   "[Software\\\\M]\n\"V\"=\"machine\"\n"
                   "[Software\\\\Wow6432Node\\\\W]\n\"V\"=\"32-bit view\"\n"
                   "[Software\\\\W]\n\"V\"=\"64-bit view\"\n"
                   "[Software\\\\Classes\\\\.zip]\n@=\"machine zip\"\n"
                   "[Software\\\\Classes\\\\.cfg]\n@=\"machine cfg\"\n");
  test::WriteBytes(prefix / u"user.reg",
                   std::string(kUserReg) + "\n[Software\\\\Classes\\\\.zip]\n@=\"user zip\"\n");
  WineRegistry registry(test::NativePath(prefix.Path()).string());
  EXPECT_EQ(registry.ReadString(RegistryRoot::kCurrentUser, u"Software\\KIVO\\CF", u""),
            u"default text");
  EXPECT_EQ(registry.ReadString(RegistryRoot::kLocalMachine, u"Software\\M", u"V"), u"machine");
  // A 32-bit program sees the Wow6432Node branch first.
  EXPECT_EQ(registry.ReadString(RegistryRoot::kLocalMachine, u"Software\\W", u"V"), u"32-bit view");
  // Classes: the user's before the machine's.
  EXPECT_EQ(registry.ReadString(RegistryRoot::kClassesRoot, u".zip", u""), u"user zip");
  EXPECT_EQ(registry.ReadString(RegistryRoot::kClassesRoot, u".cfg", u""), u"machine cfg");
  EXPECT_FALSE(registry.ReadString(RegistryRoot::kClassesRoot, u"Software\\M", u"V"));
  EXPECT_FALSE(registry.ReadString(RegistryRoot::kUsers, u"Software\\M", u"V"));
  WineRegistry missing("/nonexistent-prefix");
  EXPECT_FALSE(missing.ReadString(RegistryRoot::kCurrentUser, u"Software\\KIVO\\CF", u""));
}

}  // namespace
}  // namespace zeva::posix
