#include "addon_catalogue.h"

#include <gtest/gtest.h>

#include "server_process.h"

namespace zeva::toolserver {
namespace {

TEST(AddonListTest, KeepsSafeEntriesAndExplainsTheOthers) {
  std::vector<std::string> problems;
  std::vector<AddonEntry> entries = ParseAddonList(
      "\xEF\xBB\xBF; comment\n"
      "[good]\nname=好插件\nversion=1.0\narchive=good.zip\nunpack=game\nfolder=zeva\\good\n"
      "place=hook.dll, dbghelp.dll\n"
      "[climb]\nname=x\narchive=x.zip\nunpack=game\nfolder=..\\..\\Windows\n"
      "[absolute]\nname=x\narchive=x.zip\nunpack=game\nfolder=C:\\Windows\n"
      "[archive]\nname=x\narchive=../accounts.txt\nunpack=game\n"
      "[base]\nname=x\narchive=x.zip\nunpack=system\n"
      "[place]\nname=x\narchive=x.zip\nunpack=game\nplace=..\\hook.dll\n"
      "[version]\nname=x\nversion=1/2\narchive=x.zip\nunpack=game\n"
      "[bad id!]\nname=x\narchive=x.zip\nunpack=game\n",
      problems);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].id, "good");
  EXPECT_EQ(entries[0].name, "好插件");
  EXPECT_EQ(entries[0].folder, "zeva\\good");
  EXPECT_EQ(entries[0].place, (std::vector<std::string>{"hook.dll", "dbghelp.dll"}));
  EXPECT_EQ(problems.size(), 7u);
}

TEST(AddonCatalogueTest, DescribesEachArchiveWithSizeAndDigest) {
  test::ScratchFolder scratch;
  test::WriteFile(scratch.Path() / "addons.ini",
                  "[a]\nname=甲 \"引号\"\nversion=2.0\narchive=a.zip\nunpack=client\n"
                  "folder=Downloads\\a\nplace=hook.dll\n"
                  "[missing]\nname=缺\narchive=none.zip\nunpack=game\n");
  test::WriteFile(scratch.Path() / "addons" / "a.zip", "abc");
  AddonCatalogue catalogue(scratch.Path());
  std::string json = catalogue.Json();
  EXPECT_NE(json.find("\"id\":\"a\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"name\":\"甲 \\\"引号\\\"\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"size\":3"), std::string::npos);
  EXPECT_NE(
      json.find("\"sha256\":\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\""),
      std::string::npos);
  EXPECT_NE(json.find("\"url\":\"/addons/a.zip\""), std::string::npos);
  EXPECT_NE(json.find("\"file\":\"a-2.0.zip\""), std::string::npos);
  EXPECT_NE(json.find("\"unpack\":{\"base\":\"client\",\"folder\":\"Downloads\\\\a\"}"),
            std::string::npos);
  EXPECT_NE(json.find("\"place\":[\"hook.dll\"]"), std::string::npos);
  EXPECT_EQ(json.find("missing"), std::string::npos);

  // A replaced archive gets a fresh digest.
  test::WriteFile(scratch.Path() / "addons" / "a.zip", "abcd");
  json = catalogue.Json();
  EXPECT_NE(json.find("88d4266fd4e6338d13b845fcf289579d209c897823b9217da3e161936f031589"),
            std::string::npos);
}

TEST(AddonCatalogueTest, NoListGivesAnEmptyCatalogue) {
  test::ScratchFolder scratch;
  AddonCatalogue catalogue(scratch.Path());
  EXPECT_EQ(catalogue.Json(), "{\"addons\":[\n]}\n");
}

}  // namespace
}  // namespace zeva::toolserver
