#include "addon_catalogue.h"

#include <gtest/gtest.h>

#include <cctype>
#include <utility>
#include <vector>

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

constexpr char kDigest[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(AddonCatalogueTest, DescribesEachArchiveWithSizeAndRecordedDigest) {
  test::ScratchFolder scratch;
  test::WriteFile(scratch.Path() / "addons.ini",
                  "[a]\nname=甲 \"引号\"\nversion=2.0\narchive=a.zip\nunpack=client\n"
                  "folder=Downloads\\a\nplace=hook.dll\n"
                  "[missing]\nname=缺\narchive=none.zip\nunpack=game\n"
                  "[unrecorded]\nname=无\narchive=b.zip\nunpack=game\n");
  test::WriteFile(scratch.Path() / "addons" / "a.zip", "abc");
  test::WriteFile(scratch.Path() / "addons" / "a.zip.sha256", std::string(kDigest) + "  a.zip\n");
  test::WriteFile(scratch.Path() / "addons" / "b.zip", "abc");
  AddonCatalogue catalogue(scratch.Path());
  std::string json = catalogue.Json();
  EXPECT_NE(json.find("\"id\":\"a\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"name\":\"甲 \\\"引号\\\"\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"size\":3"), std::string::npos);
  EXPECT_NE(json.find("\"sha256\":\"" + std::string(kDigest) + "\""), std::string::npos);
  EXPECT_NE(json.find("\"url\":\"/addons/a.zip\""), std::string::npos);
  EXPECT_NE(json.find("\"file\":\"a-2.0.zip\""), std::string::npos);
  EXPECT_NE(json.find("\"unpack\":{\"base\":\"client\",\"folder\":\"Downloads\\\\a\"}"),
            std::string::npos);
  EXPECT_NE(json.find("\"place\":[\"hook.dll\"]"), std::string::npos);
  EXPECT_EQ(json.find("missing"), std::string::npos);
  EXPECT_EQ(json.find("unrecorded"), std::string::npos);

  // An archive damaged after it was made keeps the digest it was made with.
  test::WriteFile(scratch.Path() / "addons" / "a.zip", "abd");
  EXPECT_NE(catalogue.Json().find(kDigest), std::string::npos);
}

TEST(AddonCatalogueTest, DigestRecordsAreReadAsSha256sumWritesThem) {
  const std::string digest = kDigest;
  std::string upper = digest;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const auto& [line, expected] : std::vector<std::pair<std::string, std::string>>{
           {digest + "  a.zip", digest},
           {digest + " *a.zip", digest},
           {digest, digest},
           {digest + "\r", digest},
           {upper + "  a.zip", digest},
           {digest.substr(1) + "  a.zip", ""},
           {digest + "0  a.zip", ""},
           {"g" + digest.substr(1), ""},
           {"", ""},
       }) {
    EXPECT_EQ(RecordedDigest(line), expected) << line;
  }
}

TEST(AddonCatalogueTest, NoListGivesAnEmptyCatalogue) {
  test::ScratchFolder scratch;
  AddonCatalogue catalogue(scratch.Path());
  EXPECT_EQ(catalogue.Json(), "{\"addons\":[\n]}\n");
}

}  // namespace
}  // namespace zeva::toolserver
