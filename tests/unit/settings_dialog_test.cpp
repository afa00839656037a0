// The settings window on the test port: what it shows from config.ini, what OK writes and
// removes, what Cancel and the browse buttons leave alone.
#include <gtest/gtest.h>

#include "game/client_autostart.h"
#include "game/profile.h"
#include "game/settings_dialog.h"
#include "platform/path_style.h"
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "support/fake_dialog_factory.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "ui/png_button.h"

namespace zeva {
namespace {

using Rect = test::FakeWindowView::Rect;
using test::ReadBytes;
using test::WriteBytes;

constexpr char16_t kHookFiles[][12] = {u"Msimg32.dll", u"dbghelp.dll", u"hook.dll"};

class SettingsDialogTest : public ::testing::Test {
 protected:
  // Opens the window over a main window; `user` acts while it is open.
  int Run(const std::function<void(test::FakeDialog&)>& user) {
    m_factory.whileModal[res::kSettingsDialog] = user;
    CDialogSet dialog(m_test.platform, m_factory);
    return dialog.DoModal(0x700);
  }
  // What the window shows at its next opening.
  test::FakeWindowView Reopen() {
    Run([](test::FakeDialog& d) { d.events->OnCommand(kIdCancel); });
    return m_factory.dialogs.back()->view;
  }
  std::u16string Config() const { return m_folder / u"config.ini"; }
  void Store(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    ASSERT_TRUE(ProfileSetString(m_test.platform, section, key, value, Config()));
  }
  std::u16string Stored(std::u16string_view section, std::u16string_view key) {
    return ProfileGetString(m_test.platform, section, key, u"", 8192, Config());
  }
  // A folder holding the launcher and the three hook files.
  std::u16string GameFolder(std::u16string_view name, bool launcher = true) {
    const std::u16string folder = m_folder / name;
    EXPECT_TRUE(m_test.files.CreateFolder(folder));
    if (launcher) WriteBytes(folder + kPathSeparator + u"QQLogin.exe", "MZ");
    for (const char16_t* hook : kHookFiles) WriteBytes(folder + kPathSeparator + hook, "dll");
    return folder;
  }
  int HookFilesIn(const std::u16string& folder) {
    int count = 0;
    for (const char16_t* hook : kHookFiles) {
      count += m_test.files.GetAttributes(folder + kPathSeparator + hook).has_value();
    }
    return count;
  }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  test::FakeDialogFactory m_factory;
};

TEST_F(SettingsDialogTest, TheSkinnedFrameAndItsButtons) {
  const int result = Run([](test::FakeDialog& d) {
    test::FakeWindowView& view = d.view;
    EXPECT_TRUE(view.captionless);
    EXPECT_EQ(view.bounds, (Rect{180, 122, 440, 355}));
    EXPECT_EQ(view.background, res::kPngSettingsBackground);
    EXPECT_EQ(view.texts[res::kTitleLabel], u"游戏设置");
    EXPECT_EQ(view.controls[res::kTitleLabel], (Rect{10, 9, 60, 15}));
    EXPECT_EQ(view.styles[res::kTitleLabel].colour, 0xFFFFFFu);
    EXPECT_TRUE(view.styles[res::kTitleLabel].transparent);
    // Unnamed labels and group boxes: default text on white; option buttons see-through.
    EXPECT_FALSE(view.styles[res::kNoId].transparent);
    EXPECT_EQ(view.styles[res::kNoId].backColour, 0xFFFFFFu);
    EXPECT_TRUE(view.styles[res::kAutostartCheck].transparent);
    const std::tuple<int, int, Rect> buttons[] = {
        {res::kDialogCloseButton, res::kPngClose, {413, 8, 15, 15}},
        {kIdOk, res::kPngOk, {130, 322, 61, 21}},
        {kIdCancel, res::kPngCancel, {240, 322, 61, 21}},
        {res::kBrowseOfficialButton, res::kPngBrowse, {325, 54, 50, 23}},
        {res::kBrowseTestButton, res::kPngBrowse, {325, 84, 50, 23}},
    };
    for (const auto& [id, png, place] : buttons) {
      EXPECT_EQ(view.buttonImages[id], png) << id;
      EXPECT_EQ(view.controls[id], place) << id;
    }
    // The top 28 pixels drag the window; the row below does not.
    EXPECT_EQ(d.events->OnHitTest(kHitClient, 200, 27), kHitCaption);
    EXPECT_EQ(d.events->OnHitTest(kHitClient, 200, 28), kHitClient);
    d.events->OnCommand(res::kDialogCloseButton);
  });
  EXPECT_EQ(result, kIdCancel);
  EXPECT_EQ(m_factory.dialogs[0]->owner, 0x700u);
  EXPECT_FALSE(m_test.files.GetAttributes(Config()));  // closing writes nothing
}

TEST_F(SettingsDialogTest, WithoutConfigTheDefaultsShowAndOkWritesThem) {
  m_test.autostart.entries[u"ZEVA"] = {u"ZEVA", u"", u"old"};
  const int result = Run([](test::FakeDialog& d) {
    for (int id : {res::kServerOfficialRadio, res::kWindowModeAskRadio, res::kUpdateAskRadio,
                   res::kExitAskRadio}) {
      EXPECT_TRUE(d.view.checks[id]) << id;
    }
    EXPECT_FALSE(d.view.checks[res::kAutostartCheck]);
    EXPECT_EQ(d.view.texts[res::kOfficialFolderEdit], u"");
    EXPECT_EQ(d.view.texts[res::kTestFolderEdit], u"");
    d.events->OnCommand(kIdOk);
  });
  EXPECT_EQ(result, kIdOk);
  EXPECT_EQ(ReadBytes(Config()),
            "[CF Info]\r\nFOLDER=\r\nFOLDER_TYF=\r\n[system]\r\nrun=0\r\nwnd=2\r\nautoupdate=0\r\n"
            "exit=0\r\nautostart=0\r\n");
  EXPECT_TRUE(m_test.autostart.entries.empty());
}

TEST_F(SettingsDialogTest, StoredValuesChooseTheButtons) {
  struct Case {
    std::u16string_view key, value;
    int checked;
  };
  const Case cases[] = {
      {u"run", u"1", res::kServerTestRadio},       {u"run", u"true", res::kServerOfficialRadio},
      {u"wnd", u"1", res::kWindowModeOnRadio},     {u"wnd", u"0", res::kWindowModeOffRadio},
      {u"wnd", u"3", res::kWindowModeAskRadio},    {u"autoupdate", u"1", res::kUpdateAutoRadio},
      {u"autoupdate", u"2", res::kUpdateAskRadio}, {u"exit", u" 1 ", res::kExitHideRadio},
      {u"exit", u"2", res::kExitQuitRadio},        {u"exit", u"01", res::kExitAskRadio},
      {u"autostart", u"1", res::kAutostartCheck},
  };
  for (const Case& c : cases) {
    Store(u"system", c.key, c.value);
    EXPECT_TRUE(Reopen().checks[c.checked]) << std::string(c.key.begin(), c.key.end());
  }
  Store(u"system", u"autostart", u"true");
  EXPECT_FALSE(Reopen().checks[res::kAutostartCheck]);
}

TEST_F(SettingsDialogTest, OkWritesEveryChoiceInOrderAndTheAutostartEntry) {
  // A folder longer than the 254 characters the window once cut is shown and stored whole.
  const std::u16string longFolder = u"D:\\" + std::u16string(300, u'x');
  Store(u"CF Info", u"FOLDER", longFolder);
  Store(u"other", u"kept", u"1");
  // The entry names the client folder's program whatever the running file is called.
  m_test.files.executablePath = m_folder / u"renamed.exe";
  Run([&](test::FakeDialog& d) {
    EXPECT_EQ(d.view.texts[res::kOfficialFolderEdit], longFolder);
    d.view.texts[res::kTestFolderEdit] = u"E:\\体验服";
    for (int id : {res::kServerTestRadio, res::kWindowModeOnRadio, res::kUpdateAutoRadio,
                   res::kExitQuitRadio, res::kAutostartCheck}) {
      d.view.SetCheck(id, true);
    }
    d.events->OnCommand(kIdOk);
  });
  EXPECT_EQ(Stored(u"CF Info", u"FOLDER"), longFolder);
  EXPECT_EQ(Stored(u"CF Info", u"FOLDER_TYF"), u"E:\\体验服");
  EXPECT_EQ(Stored(u"other", u"kept"), u"1");
  const std::string bytes = ReadBytes(Config());
  EXPECT_NE(bytes.find("[system]\r\nrun=1\r\nwnd=1\r\nautoupdate=1\r\nexit=2\r\nautostart=1\r\n"),
            std::string::npos);
  const AutostartEntry& entry = m_test.autostart.entries.at(u"ZEVA");
  EXPECT_EQ(entry.program, m_folder.Path() + kClientProgramName);
  EXPECT_EQ(entry.displayName, u"KIVO泽瓦助手");
}

TEST_F(SettingsDialogTest, WindowModeOffRemovesTheHookFilesOfGameFolders) {
  struct Case {
    int windowMode;
    bool testFolderSet;
    int officialLeft, testLeft;
  };
  const Case cases[] = {
      {res::kWindowModeOffRadio, true, 0, 0},
      {res::kWindowModeOffRadio, false, 0, 3},  // an empty field cleans nothing
      {res::kWindowModeOnRadio, true, 3, 3},
      {res::kWindowModeAskRadio, true, 3, 3},
  };
  int round = 0;
  for (const Case& c : cases) {
    const std::u16string official = GameFolder(u"official" + std::u16string(1, u'0' + round));
    const std::u16string test = GameFolder(u"test" + std::u16string(1, u'0' + round++));
    Run([&](test::FakeDialog& d) {
      d.view.texts[res::kOfficialFolderEdit] = official;
      d.view.texts[res::kTestFolderEdit] = c.testFolderSet ? test : u"";
      d.view.SetCheck(c.windowMode, true);
      d.events->OnCommand(kIdOk);
    });
    EXPECT_EQ(HookFilesIn(official), c.officialLeft) << round;
    EXPECT_EQ(HookFilesIn(test), c.testLeft) << round;
    EXPECT_TRUE(m_test.files.GetAttributes(official + kPathSeparator + u"QQLogin.exe"));
  }
  // A typed folder without the launcher is no game folder: files named like system
  // libraries stay there.
  const std::u16string typed = GameFolder(u"system32", false);
  Run([&](test::FakeDialog& d) {
    d.view.texts[res::kOfficialFolderEdit] = typed;
    d.view.SetCheck(res::kWindowModeOffRadio, true);
    d.events->OnCommand(kIdOk);
  });
  EXPECT_EQ(HookFilesIn(typed), 3);
}

TEST_F(SettingsDialogTest, BrowseFillsItsFieldOnlyAndCancelStoresNothing) {
  Store(u"CF Info", u"FOLDER", u"old");
  const std::string before = ReadBytes(Config());
  const std::u16string game = GameFolder(u"游戏");
  const std::u16string noGame = GameFolder(u"empty", false);
  m_test.dialogs.folders = {game, noGame, std::nullopt};
  const int result = Run([&](test::FakeDialog& d) {
    d.view.texts[res::kTestFolderEdit] = u"typed";
    d.events->OnCommand(res::kBrowseOfficialButton);
    EXPECT_EQ(d.view.texts[res::kOfficialFolderEdit], game);
    EXPECT_EQ(d.view.texts[res::kTestFolderEdit], u"typed");
    d.events->OnCommand(res::kBrowseTestButton);  // no launcher: refused with its box
    d.events->OnCommand(res::kBrowseTestButton);  // cancelled
    EXPECT_EQ(d.view.texts[res::kTestFolderEdit], u"typed");
    d.events->OnCommand(kIdCancel);
  });
  EXPECT_EQ(result, kIdCancel);
  ASSERT_EQ(m_test.dialogs.pickerCalls.size(), 3u);
  EXPECT_EQ(m_test.dialogs.pickerCalls[0].owner, m_factory.dialogs[0]->view.handle);
  EXPECT_EQ(m_test.dialogs.pickerCalls[0].startFolder, u"old");  // the picker opens there
  EXPECT_EQ(m_test.dialogs.pickerCalls[1].startFolder, u"typed");
  ASSERT_EQ(m_test.dialogs.boxes.size(), 2u);
  EXPECT_EQ(m_test.dialogs.boxes[0].text, u"没有找到QQLogin.exe，非穿越火线游戏目录。");
  EXPECT_EQ(m_test.dialogs.boxes[1].text, u"未指定游戏目录。");
  EXPECT_EQ(ReadBytes(Config()), before);
  EXPECT_EQ(Reopen().texts[res::kOfficialFolderEdit], u"old");
  EXPECT_EQ(m_test.autostart.changes, 0);
}

TEST_F(SettingsDialogTest, TheStoredAutostartValueDecidesTheBox) {
  m_test.autostart.entries[u"ZEVA"] = ClientAutostartEntry(m_test.platform);
  EXPECT_FALSE(Reopen().checks[res::kAutostartCheck]);
  m_test.autostart.entries.clear();
  Store(u"system", u"autostart", u"1");
  EXPECT_TRUE(Reopen().checks[res::kAutostartCheck]);
}

TEST_F(SettingsDialogTest, AnUnwritableConfigSavesNothingAndSaysSo) {
  Store(u"system", u"wnd", u"1");
  const std::string before = ReadBytes(Config());
  const std::u16string game = GameFolder(u"game");
  m_test.files.failWrites = true;
  const int result = Run([&](test::FakeDialog& d) {
    d.view.texts[res::kOfficialFolderEdit] = game;
    d.view.SetCheck(res::kWindowModeOffRadio, true);
    d.view.SetCheck(res::kAutostartCheck, true);
    d.events->OnCommand(kIdOk);
    EXPECT_TRUE(d.view.endResults.empty());  // still open: the user may retry or cancel
    ASSERT_EQ(d.view.boxes.size(), 1u);
    EXPECT_NE(d.view.boxes[0].text.find(u"设置未能保存"), std::u16string::npos);
    EXPECT_EQ(d.view.boxes[0].style, kMbOk | kMbIconExclamation);
    d.events->OnCommand(kIdCancel);
  });
  EXPECT_EQ(result, kIdCancel);
  EXPECT_EQ(ReadBytes(Config()), before);
  EXPECT_EQ(HookFilesIn(game), 3);
  EXPECT_EQ(m_test.autostart.changes, 0);
}

TEST_F(SettingsDialogTest, AnAutostartTheSystemRefusesIsReported) {
  m_test.autostart.fail = true;
  const int result = Run([](test::FakeDialog& d) {
    d.view.SetCheck(res::kAutostartCheck, true);
    d.events->OnCommand(kIdOk);
    ASSERT_EQ(d.view.boxes.size(), 1u);
    EXPECT_EQ(d.view.boxes[0].text, u"设置已保存，但未能设置开机启动。");
  });
  EXPECT_EQ(result, kIdOk);
  EXPECT_EQ(Stored(u"system", u"autostart"), u"1");
}

}  // namespace
}  // namespace zeva
