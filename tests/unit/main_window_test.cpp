#include <gtest/gtest.h>

#include <functional>

#include "app/main_window.h"
#include "game/profile.h"
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "support/fake_dialog_factory.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "ui/png_button.h"
#include "ui/window_messages.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

using Rect = test::FakeWindowView::Rect;

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowHooks Hooks() {
    MainWindowHooks hooks;
    hooks.openSettings = [this] { ++m_settings; };
    hooks.startWindowModeWatcher = [this] { ++m_watchers; };
    hooks.login = [this](const std::u16string& user, const std::u16string& password) {
      m_logins.emplace_back(user, password);
    };
    return hooks;
  }
  void SetExit(std::u16string_view value) {
    ASSERT_TRUE(
        ProfileSetString(m_test.platform, u"system", u"exit", value, m_folder / u"config.ini"));
  }
  // Open without a loop of its own, so each test drives the window's table itself.
  test::FakeWindowView& Open() {
    EXPECT_TRUE(m_window.Create(0));
    return m_factory.dialogs.at(0)->view;
  }
  CZEVA30Dlg& Window() { return m_window; }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  test::FakeDialogFactory m_factory;
  int m_settings = 0, m_watchers = 0;
  std::vector<std::pair<std::u16string, std::u16string>> m_logins;
  CZEVA30Dlg m_window{m_test.platform, m_factory, Hooks()};
  test::FakeWindowView& m_view = Open();
};

TEST_F(MainWindowTest, InitialisationLaysOutTheWindow) {
  Window();
  EXPECT_EQ(m_view.title, u"KIVO穿越火线泽瓦助手");
  EXPECT_EQ(m_view.bounds, (Rect{0, 0, 800, 600}));
  EXPECT_TRUE(m_view.captionless);
  EXPECT_EQ(m_view.background, 135);
  EXPECT_EQ(m_view.controls[res::kVersionLabel], (Rect{37, 9, 80, 15}));
  EXPECT_EQ(m_view.texts[res::kVersionLabel], u"V3.0.6");
  // The window names the style of the text it draws: the version in white on the picture.
  EXPECT_EQ(m_view.styles.at(res::kVersionLabel).colour, 0xFFFFFFu);
  EXPECT_TRUE(m_view.styles.at(res::kVersionLabel).transparent);
  EXPECT_EQ(m_view.styles.size(), 1u);
  // The keyboard starts in the page, not in the login form under it.
  EXPECT_EQ(m_view.focused, res::kBrowserArea);
  EXPECT_TRUE(m_view.trayIcon);
  EXPECT_EQ(m_view.trayTip, u"KIVO泽瓦助手");
  EXPECT_EQ(m_view.browser, (Rect{1, 32, 798, 567}));
  EXPECT_FALSE(m_view.browserSite.scrollBars);
  ASSERT_EQ(m_view.navigations.size(), 1u);
  EXPECT_EQ(m_view.navigations[0],
            std::u16string(endpoints::kToolServer) +
                u"/CF30/CF_Index.aspx?ToolId=1&SetUp=true&ClientVersion=V3.0.6");
  EXPECT_EQ(m_view.buttonImages[res::kUpdateButton], 143);
  EXPECT_EQ(m_view.controls[res::kUpdateButton], (Rect{120, 7, 62, 21}));
  EXPECT_EQ(m_view.buttonImages[res::kCloseButton], 140);
  EXPECT_EQ(m_view.controls[res::kCloseButton], (Rect{774, 7, 15, 15}));
  EXPECT_EQ(m_view.controls[res::kSettingsButton], (Rect{702, 7, 15, 15}));
  EXPECT_EQ(m_view.controls[res::kHelpButton], (Rect{726, 7, 15, 15}));
  EXPECT_EQ(m_view.controls[res::kMinimizeButton], (Rect{750, 7, 15, 15}));
}

TEST_F(MainWindowTest, CloseFollowsTheExitSetting) {
  SetExit(u" 1 ");
  Window().OnCommand(res::kCloseButton);
  EXPECT_FALSE(m_view.visible);
  EXPECT_TRUE(m_view.endResults.empty());
  EXPECT_TRUE(m_test.dialogs.boxes.empty());

  SetExit(u"2");
  Window().OnCommand(res::kCloseButton);
  EXPECT_EQ(m_view.endResults, std::vector<int>{kIdCancel});
  EXPECT_FALSE(m_view.trayIcon);
}

TEST(MainWindowTrayTest, WithoutATrayTheWindowIsMinimisedNotHidden) {
  // No tray shows the icon: "hide" would lose the window; it goes to the taskbar instead.
  test::TempFolder folder;
  test::TestPlatform platform{folder.Path()};
  test::FakeDialogFactory factory;
  factory.trayHost = false;
  CZEVA30Dlg window(platform.platform, factory);
  ASSERT_TRUE(window.Create(0));
  test::FakeWindowView& view = factory.dialogs.at(0)->view;
  for (std::u16string_view exit : {u"1", u"0"}) {
    ASSERT_TRUE(
        ProfileSetString(platform.platform, u"system", u"exit", exit, folder / u"config.ini"));
    platform.dialogs.answers = {kIdNo};  // asked: "否：最小化到托盘"
    window.OnCommand(res::kCloseButton);
    EXPECT_TRUE(view.visible);
    EXPECT_EQ(view.showCommands.back(), kSwMinimize);
  }
  window.OnMessage(kWmShowWindow, 0, 0);
  EXPECT_TRUE(view.trayMenus.empty());  // no tray to draw a menu either
}

TEST_F(MainWindowTest, CloseAsksWhenTheSettingSaysNothingClear) {
  SetExit(u"01");
  m_test.dialogs.answers = {kIdCancel, kIdNo, kIdYes};
  Window().OnCommand(res::kCloseButton);  // Cancel: nothing changes
  EXPECT_TRUE(m_view.visible);
  ASSERT_EQ(m_test.dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_test.dialogs.boxes[0].text, u"你确实要退出程序吗？\n是：退出程序\n否：最小化到托盘");
  EXPECT_EQ(m_test.dialogs.boxes[0].caption, u"关闭");
  EXPECT_EQ(m_test.dialogs.boxes[0].style, kMbYesNoCancel);
  EXPECT_EQ(m_test.dialogs.boxes[0].owner, m_view.handle);

  Window().OnCommand(res::kCloseButton);  // No: to the tray
  EXPECT_FALSE(m_view.visible);
  EXPECT_TRUE(m_view.endResults.empty());
  Window().OnCommand(res::kCloseButton);  // Yes: exit
  EXPECT_EQ(m_view.endResults, std::vector<int>{kIdCancel});
}

TEST_F(MainWindowTest, TrayIconClicks) {
  Window();
  // Right button: the menu's first item tells what it will do.
  Window().OnMessage(kWmTrayNotify, 128, 0x204);
  ASSERT_EQ(m_view.menus.size(), 1u);
  EXPECT_EQ(m_view.menus[0].first, res::kTrayMenu);
  EXPECT_EQ(m_view.menus[0].second.at(res::kCmdShowHide), u"隐藏窗口");

  Window().OnMessage(kWmTrayNotify, 128, 0x201);  // left button down: hide
  EXPECT_FALSE(m_view.visible);
  m_view.menuAnswers = {res::kCmdShowHide};
  Window().OnMessage(kWmTrayNotify, 128, 0x204);
  EXPECT_EQ(m_view.menus[1].second.at(res::kCmdShowHide), u"显示窗口");
  EXPECT_TRUE(m_view.visible);  // the chosen item showed the window again

  // Other icons and other mouse messages are ignored.
  const size_t commands = m_view.showCommands.size();
  EXPECT_EQ(Window().OnMessage(kWmTrayNotify, 129, 0x201), 1);
  EXPECT_EQ(Window().OnMessage(kWmTrayNotify, 128, 0x202), 1);
  EXPECT_EQ(Window().OnMessage(kWmTrayNotify, 128, 0x203), 1);
  EXPECT_EQ(m_view.showCommands.size(), commands);

  m_view.menuAnswers = {res::kCmdExit};
  Window().OnMessage(kWmTrayNotify, 128, 0x204);
  EXPECT_EQ(m_view.endResults, std::vector<int>{kIdCancel});
  EXPECT_FALSE(m_view.trayIcon);
}

// A tray that draws the menu itself (a StatusNotifierItem host) is given the popup's items;
// their texts follow the window however it is shown or hidden.
TEST_F(MainWindowTest, TheTrayMenuFollowsTheWindow) {
  ASSERT_EQ(m_view.trayMenus.size(), 1u);
  EXPECT_EQ(m_view.trayMenus[0].menu, res::kTrayMenu);
  EXPECT_EQ(m_view.trayMenus[0].defaultCommand, res::kCmdShowHide);
  SetExit(u"1");
  const struct {
    std::function<void()> act;
    std::u16string_view text;
  } steps[] = {
      {[] {}, u"隐藏窗口"},
      {[&] { Window().OnCommand(res::kCloseButton); }, u"显示窗口"},
      {[&] { Window().OnCommand(res::kCmdShowHide); }, u"隐藏窗口"},  // the menu's own item
      {[&] { Window().OnMessage(kWmTrayNotify, 128, 0x201); }, u"显示窗口"},
      {[&] { Window().OnMessage(kWmShowWindow, 1, 0); }, u"隐藏窗口"},  // shown by another start
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(&step - steps);
    step.act();
    EXPECT_EQ(m_view.trayMenus.back().texts.at(res::kCmdShowHide), step.text);
  }
  Window().OnCommand(res::kCmdExit);
  const size_t menus = m_view.trayMenus.size();
  Window().OnMessage(kWmShowWindow, 0, 0);  // the icon has gone: no menu for it
  EXPECT_EQ(m_view.trayMenus.size(), menus);
}

TEST_F(MainWindowTest, HelpMenuAndFeedbackPage) {
  m_view.menuAnswers = {res::kCmdFeedback};
  Window().OnCommand(res::kHelpButton);
  ASSERT_EQ(m_view.menus.size(), 1u);
  EXPECT_EQ(m_view.menus[0].first, res::kHelpMenu);
  EXPECT_TRUE(m_view.menus[0].second.empty());
  ASSERT_EQ(m_test.shell.calls.size(), 1u);
  EXPECT_EQ(m_test.shell.calls[0].file,
            std::u16string(endpoints::kForumHost) + u"/thread-6389501-1-1.html");
  EXPECT_EQ(m_test.shell.calls[0].verb, u"open");
  EXPECT_TRUE(m_test.dialogs.boxes.empty());

  // No program to open it: the player is told where the page is.
  m_test.shell.succeed = false;
  m_view.menuAnswers = {res::kCmdFeedback};
  Window().OnCommand(res::kHelpButton);
  ASSERT_EQ(m_test.dialogs.boxes.size(), 1u);
  EXPECT_NE(m_test.dialogs.boxes[0].text.find(m_test.shell.calls[1].file), std::u16string::npos);
  EXPECT_EQ(m_test.dialogs.boxes[0].style, kMbOk | kMbIconExclamation);
}

TEST_F(MainWindowTest, PageRequestsAndButtons) {
  EXPECT_EQ(Window().OnMessage(kWmOpenSettings, 0, 0), 1);
  Window().OnCommand(res::kSettingsButton);
  EXPECT_EQ(m_settings, 2);
  // One watcher at a time: the flag is busy until the watcher ends.
  Window().OnMessage(kWmStartWindowMode, 0, 0);
  Window().OnMessage(kWmStartWindowMode, 0, 0);
  EXPECT_EQ(m_watchers, 1);
  Window().WindowModeBusy() = false;
  Window().OnMessage(kWmStartWindowMode, 0, 0);
  EXPECT_EQ(m_watchers, 2);
  // Requests whose handlers are not there yet do nothing at all.
  EXPECT_EQ(Window().OnMessage(kWmUpdateCheck, 0, 0), 0);
  EXPECT_EQ(Window().OnMessage(kWmAccelerator, 0, 0), 1);
  Window().OnCommand(res::kMinimizeButton);
  EXPECT_EQ(m_view.showCommands.back(), kSwMinimize);
}

TEST_F(MainWindowTest, EnterLogsInFromTheLoginFieldsAndNeverEndsTheClient) {
  Window();
  m_view.texts[res::kUserNameEdit] = u"玩家";
  m_view.texts[res::kPasswordEdit] = u"pw";
  m_view.focused = 0;
  Window().OnCommand(kIdOk);
  EXPECT_TRUE(m_logins.empty());
  m_view.focused = res::kPasswordEdit;
  Window().OnCommand(kIdOk);
  ASSERT_EQ(m_logins.size(), 1u);
  EXPECT_EQ(m_logins[0], (std::pair<std::u16string, std::u16string>{u"玩家", u"pw"}));
  EXPECT_TRUE(m_view.endResults.empty());
  // Escape (IDCANCEL) ends it, and the tray icon goes with it.
  Window().OnCommand(kIdCancel);
  EXPECT_EQ(m_view.endResults, std::vector<int>{kIdCancel});
  EXPECT_FALSE(m_view.trayIcon);
}

TEST_F(MainWindowTest, AnyEndingRemovesTheTrayIcon) {
  Window();
  ASSERT_TRUE(m_view.trayIcon);
  Window().OnDestroy();  // e.g. the quit the self-update posts
  EXPECT_FALSE(m_view.trayIcon);
}

TEST(DragStripTest, OnlyTheTopBandOfTheClientAreaDrags) {
  EXPECT_EQ(DragStripHitTest(kHitClient, 10, 0, 800, 30), kHitCaption);
  EXPECT_EQ(DragStripHitTest(kHitClient, 799, 29, 800, 30), kHitCaption);
  EXPECT_EQ(DragStripHitTest(kHitClient, 10, 30, 800, 30), kHitClient);
  EXPECT_EQ(DragStripHitTest(kHitClient, 10, 31, 800, 30), kHitClient);
  EXPECT_EQ(DragStripHitTest(5, 10, 5, 800, 30), 5);  // other answers pass unchanged
  EXPECT_EQ(DragStripHitTest(kHitClient, 10, 27, 350, 28), kHitCaption);
  EXPECT_EQ(DragStripHitTest(kHitClient, 10, 28, 350, 28), kHitClient);
}

TEST(PngButtonTest, FramesFollowTheMouse) {
  PngButton button;
  EXPECT_EQ(button.Frame(), ButtonFrame::kNormal);
  EXPECT_TRUE(button.NeedsTracking());
  button.OnMouseMove();
  EXPECT_FALSE(button.NeedsTracking());
  EXPECT_EQ(button.Frame(), ButtonFrame::kNormal);  // armed, not yet hovering
  button.OnMouseHover();
  EXPECT_EQ(button.Frame(), ButtonFrame::kHover);
  button.OnButtonDown();
  EXPECT_EQ(button.Frame(), ButtonFrame::kPressed);
  EXPECT_TRUE(button.OnButtonUp(true));  // one click
  EXPECT_EQ(button.Frame(), ButtonFrame::kHover);
  // A double click is a second press: two clicks in all.
  button.OnDoubleClick();
  EXPECT_TRUE(button.OnButtonUp(true));
  button.OnButtonDown();
  EXPECT_FALSE(button.OnButtonUp(false));  // released elsewhere: no click
  // Pressed, dragged off (not pressed in looks), back on and released: a click.
  button.OnButtonDown();
  button.OnMouseLeave();
  EXPECT_EQ(button.Frame(), ButtonFrame::kNormal);
  EXPECT_TRUE(button.OnMouseMove());
  EXPECT_EQ(button.Frame(), ButtonFrame::kPressed);
  EXPECT_TRUE(button.OnButtonUp(true));
  EXPECT_EQ(button.Frame(), ButtonFrame::kNormal);  // no hover yet on this visit
  button.OnMouseLeave();
  EXPECT_EQ(button.Frame(), ButtonFrame::kNormal);
  EXPECT_TRUE(button.NeedsTracking());  // re-armed on the next visit
  button.SetFourthFrame(true);
  EXPECT_EQ(button.Frame(), ButtonFrame::kFourth);
}

TEST(StripGeometryTest, AQuarterOfTheWidth) {
  EXPECT_EQ(StripGeometry::Of(60, 15).frameWidth, 15);
  EXPECT_EQ(StripGeometry::Of(244, 21).frameWidth, 61);
  EXPECT_EQ(StripGeometry::Of(63, 15).frameWidth, 15);
}

TEST(ResourceTablesTest, TemplatesAndMenus) {
  const res::DialogTemplate* main = res::FindDialogTemplate(102);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->controls.size(), 10u);
  const res::MenuTemplate* tray = res::FindMenuTemplate(132);
  ASSERT_NE(tray, nullptr);
  EXPECT_EQ(tray->items.front().text, u"显示窗口");
  EXPECT_EQ(res::FindMenuTemplate(999), nullptr);
  // The secondary windows' shapes: each has its close button 1011 and, but for the download
  // dialog, its title label 1027; the settings dialog's radio groups start where they should.
  for (int id : {130, 151, 153}) {
    const res::DialogTemplate* dialog = res::FindDialogTemplate(id);
    ASSERT_NE(dialog, nullptr) << id;
    int closeButtons = 0, titles = 0;
    for (const res::ControlTemplate& c : dialog->controls) {
      closeButtons += c.id == res::kDialogCloseButton;
      titles += c.id == res::kTitleLabel;
    }
    EXPECT_EQ(closeButtons, 1) << id;
    EXPECT_EQ(titles, 1) << id;
  }
  const res::DialogTemplate* settings = res::FindDialogTemplate(130);
  int groups = 0;
  for (const res::ControlTemplate& c : settings->controls) {
    groups += c.kind == res::ControlKind::kRadio && c.startsGroup;
  }
  EXPECT_EQ(groups, 4);
  EXPECT_EQ(res::FindDialogTemplate(144)->caption, u"下载");
}

}  // namespace
}  // namespace zeva
