// The freedesktop autostart entry: its Exec quoting and the file it writes and removes in
// $XDG_CONFIG_HOME/autostart.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "ports/posix/xdg_autostart.h"
#include "support/temp_folder.h"

namespace zeva::posix {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(XdgAutostartTest, ExecQuotesAndEscapesAsTheFormatRequires) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"/opt/zeva/zeva", R"("/opt/zeva/zeva")"},
      {"/home/玩家/泽瓦 助手/zeva", R"("/home/玩家/泽瓦 助手/zeva")"},
      {R"(/a"b/zeva)", R"("/a\\"b/zeva")"},
      {R"(/a\b/zeva)", R"("/a\\\\b/zeva")"},
      {"/a$HOME`x`/zeva", R"("/a\\$HOME\\`x\\`/zeva")"},
      {"/100%/zeva", R"("/100%%/zeva")"},
  };
  for (const auto& [program, exec] : cases) EXPECT_EQ(DesktopExecValue(program), exec) << program;
  EXPECT_FALSE(DesktopExecValue("/a\nb"));
  EXPECT_FALSE(DesktopExecValue(""));
}

TEST(XdgAutostartTest, AnEntryInTheConfigFoldersAutostartFolder) {
  test::TempFolder home;
  const std::string config = (home.Native() / "config").string();
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  XdgAutostart autostart;
  const std::string file = config + "/autostart/ZEVA.desktop";
  EXPECT_EQ(autostart.EntryPath(u"ZEVA"), file);

  ASSERT_TRUE(autostart.Register({u"ZEVA", u"KIVO泽瓦助手", u"/游戏/zeva client/zeva"}));
  EXPECT_EQ(Slurp(file),
            "[Desktop Entry]\nType=Application\nName=KIVO泽瓦助手\n"
            "Exec=\"/游戏/zeva client/zeva\"\nTerminal=false\n");
  ASSERT_TRUE(autostart.Register({u"ZEVA", u"KIVO泽瓦助手", u"/other/zeva"}));  // replaced
  EXPECT_NE(Slurp(file).find("Exec=\"/other/zeva\""), std::string::npos);

  EXPECT_TRUE(autostart.Unregister(u"ZEVA"));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(autostart.Unregister(u"ZEVA"));  // nothing left to remove is no failure

  // Names stay inside the folder; a relative XDG_CONFIG_HOME is ignored for ~/.config.
  EXPECT_FALSE(autostart.Register({u"../ZEVA", u"", u"/zeva"}));
  const std::string realHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  ::setenv("HOME", home.Native().c_str(), 1);
  EXPECT_EQ(autostart.EntryPath(u"ZEVA"),
            home.Native().string() + "/.config/autostart/ZEVA.desktop");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", realHome.c_str(), 1);
}

}  // namespace
}  // namespace zeva::posix
