// The client's own config.ini keys: what each accessor writes, and how it reads values that
// other writers (older clients, pages, people) left behind.
#include <gtest/gtest.h>

#include "game/client_settings.h"
#include "game/profile.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

class ClientSettingsTest : public ::testing::Test {
 protected:
  std::u16string Raw(std::u16string_view section, std::u16string_view key) {
    return ProfileGetString(m_test.platform, section, key, u"<none>", 100,
                            m_folder / u"config.ini");
  }
  void SetRaw(std::u16string_view key, std::u16string_view value) {
    ProfileSetString(m_test.platform, u"system", key, value, m_folder / u"config.ini");
  }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  ClientSettings m_settings{m_test.platform};
};

TEST_F(ClientSettingsTest, OptionsWriteTheirDigitsAndReadAnythingElseAsTheDefault) {
  // A missing file: every option at its default.
  EXPECT_EQ(m_settings.Exit(), ExitSetting::kAsk);
  EXPECT_EQ(m_settings.Server(), GameServer::kOfficial);
  EXPECT_EQ(m_settings.WindowMode(), WindowModeSetting::kAsk);
  EXPECT_EQ(m_settings.Update(), UpdateSetting::kAsk);
  EXPECT_FALSE(m_settings.Autostart());

  ASSERT_TRUE(m_settings.SetExit(ExitSetting::kQuit));
  ASSERT_TRUE(m_settings.SetServer(GameServer::kTest));
  ASSERT_TRUE(m_settings.SetWindowMode(WindowModeSetting::kAsk));
  ASSERT_TRUE(m_settings.SetUpdate(UpdateSetting::kAutomatic));
  ASSERT_TRUE(m_settings.SetAutostart(true));
  const struct {
    std::u16string_view key, written;
  } written[] = {
      {u"exit", u"2"}, {u"run", u"1"}, {u"wnd", u"2"}, {u"autoupdate", u"1"}, {u"autostart", u"1"}};
  for (const auto& w : written)
    EXPECT_EQ(Raw(u"system", w.key), w.written) << static_cast<int>(&w - written);

  // Values no setter writes fall back to the default, as the readers always did.
  SetRaw(u"exit", u"3");
  SetRaw(u"run", u"true");
  SetRaw(u"wnd", u"01");
  SetRaw(u"autostart", u" 1 ");  // blanks around a value do not count
  EXPECT_EQ(m_settings.Exit(), ExitSetting::kAsk);
  EXPECT_EQ(m_settings.Server(), GameServer::kOfficial);
  EXPECT_EQ(m_settings.WindowMode(), WindowModeSetting::kAsk);
  EXPECT_TRUE(m_settings.Autostart());
}

TEST_F(ClientSettingsTest, FoldersIdentityAndLoginRecord) {
  ASSERT_TRUE(m_settings.SetGameFolder(GameServer::kTest, u"D:\\体验服"));
  EXPECT_EQ(Raw(u"CF Info", u"FOLDER_TYF"), u"D:\\体验服");
  EXPECT_EQ(m_settings.GameFolder(GameServer::kOfficial), u"");

  EXPECT_TRUE(m_settings.IsFirstStart());
  m_settings.MarkStarted();
  EXPECT_FALSE(m_settings.IsFirstStart());
  EXPECT_EQ(Raw(u"system", u"Setup"), u"false");

  ASSERT_TRUE(m_settings.SetLogin({u"玩家", u"cHc=", u"00-11-22-33-44-55"}));
  EXPECT_EQ(Raw(u"system", u"ISLOGIN"), u"1");
  EXPECT_EQ(m_settings.Login().userId, u"玩家");
  ASSERT_TRUE(m_settings.ClearLogin());
  EXPECT_EQ(Raw(u"system", u"ISLOGIN"), u"0");
  EXPECT_EQ(Raw(u"system", u"UID"), u"");
}

}  // namespace
}  // namespace zeva
