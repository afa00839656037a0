// The GTK main window with the core's CZEVA30Dlg behind it: messages sent through the
// port's window system reach the message table, and X11 finds the window by its title.
#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/gtk/gtk_main_window.h"
#include "platform/gtk/gtk_system.h"
#include "res/resource_ids.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "support/web_view_driver.h"

namespace zeva::gtk {
namespace {

class MainWindowPortTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }

  MainWindowPortTest() {
    m_window.SetHandlers({[this](int id) { m_dialog.OnCommand(id); },
                          [this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
                            return m_dialog.OnMessage(message, wParam, lParam);
                          },
                          [this](int hit, int x, int y) { return m_dialog.OnHitTest(hit, x, y); }});
    m_dialog.OnInitDialog();
    gtk_widget_show_all(GTK_WIDGET(m_window.Window()));
    Settle();
  }

  void Settle() {
    const gint64 until = g_get_monotonic_time() + G_USEC_PER_SEC / 2;
    test::RunUntil([&] { return g_get_monotonic_time() > until; });
  }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  GtkWindowSystem m_windows;
  // No page: these tests are about the window.
  GtkMainWindow m_window{*res::FindDialogTemplate(res::kMainDialog), nullptr};
  CZEVA30Dlg m_dialog{m_test.platform, m_window};
};

TEST_F(MainWindowPortTest, FoundByItsTitleThroughX11) {
  const WindowHandle handle = m_window.Handle();
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(m_windows.FindTopLevelWindow(u"KIVO穿越火线泽瓦助手"), handle);
  EXPECT_EQ(m_windows.FindTopLevelWindow(u"KIVO穿越火线泽瓦助手 "), 0u);
  EXPECT_EQ(m_window.GetControlText(res::kVersionLabel), u"V3.0.6");
}

TEST_F(MainWindowPortTest, TrayClicksAndCommandsArriveAsMessages) {
  const WindowHandle handle = m_window.Handle();
  EXPECT_EQ(m_windows.SendWindowMessage(handle, kWmTrayNotify, 128, 0x201), 1);
  EXPECT_FALSE(m_window.IsVisible());
  EXPECT_EQ(m_windows.SendWindowMessage(handle, kWmTrayNotify, 129, 0x201), 1);  // other icon
  EXPECT_FALSE(m_window.IsVisible());
  m_windows.SendWindowMessage(handle, kWmTrayNotify, 128, 0x201);
  EXPECT_TRUE(m_window.IsVisible());

  // ShowWindow from a page: the answer tells whether the window was visible.
  EXPECT_EQ(m_windows.SetShowState(handle, kSwHide), 1);
  EXPECT_EQ(m_windows.SetShowState(handle, kSwShow), 0);
  EXPECT_EQ(m_windows.SetShowState(0x7FFFFFFF, kSwShow), 0);  // no such window

  // A posted close request arrives later, through the message loop, as the cancel path.
  EXPECT_TRUE(m_windows.PostWindowMessage(handle, kWmClose, 0, 0));
  EXPECT_FALSE(m_windows.PostWindowMessage(0x7FFFFFFF, kWmClose, 0, 0));
  Settle();
  m_dialog.OnDestroy();
}

}  // namespace
}  // namespace zeva::gtk
