// The GTK port's template dialog with core classes behind it: the main window's messages
// sent through the port's window system reach its table, X11 finds it by its title, and any
// other template runs modally over it.
#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "gtk/pageless_factory.h"
#include "ports/gtk/gtk_dialog.h"
#include "ports/gtk/gtk_system.h"
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "support/web_view_driver.h"
#include "ui/dialog_base.h"
#include "ui/window_messages.h"

namespace zeva::gtk {
namespace {

void Settle() {
  const gint64 until = g_get_monotonic_time() + G_USEC_PER_SEC / 2;
  test::RunUntil([&] { return g_get_monotonic_time() > until; });
}

class MainWindowPortTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }

  MainWindowPortTest() {
    m_dialog.Create(0);
    m_window = m_factory.last;
    Settle();
  }
  ~MainWindowPortTest() override { m_dialog.DestroyWindow(); }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  GtkWindowSystem m_windows;
  PagelessFactory m_factory;
  CZEVA30Dlg m_dialog{m_test.platform, m_factory};
  GtkTemplateDialog* m_window = nullptr;
};

TEST_F(MainWindowPortTest, FoundByItsTitleThroughX11) {
  const WindowHandle handle = m_window->Handle();
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(m_windows.FindTopLevelWindow(u"KIVO穿越火线泽瓦助手"), handle);
  EXPECT_EQ(m_windows.FindTopLevelWindow(u"KIVO穿越火线泽瓦助手 "), 0u);
  EXPECT_EQ(m_window->GetControlText(res::kVersionLabel), u"V3.0.6");
}

TEST_F(MainWindowPortTest, TrayClicksAndCommandsArriveAsMessages) {
  const WindowHandle handle = m_window->Handle();
  EXPECT_EQ(m_windows.SendWindowMessage(handle, kWmTrayNotify, 128, 0x201), 1);
  EXPECT_FALSE(m_window->IsVisible());
  EXPECT_EQ(m_windows.SendWindowMessage(handle, kWmTrayNotify, 129, 0x201), 1);  // other icon
  EXPECT_FALSE(m_window->IsVisible());
  m_windows.SendWindowMessage(handle, kWmTrayNotify, 128, 0x201);
  EXPECT_TRUE(m_window->IsVisible());

  // ShowWindow from a page: the answer tells whether the window was visible.
  EXPECT_EQ(m_windows.SetShowState(handle, kSwHide), 1);
  EXPECT_EQ(m_windows.SetShowState(handle, kSwShow), 0);
  EXPECT_EQ(m_windows.SetShowState(0x7FFFFFFF, kSwShow), 0);  // no such window

  // A posted close request arrives later, through the message loop, as the cancel path.
  EXPECT_TRUE(m_windows.PostWindowMessage(handle, kWmClose, 0, 0));
  EXPECT_FALSE(m_windows.PostWindowMessage(0x7FFFFFFF, kWmClose, 0, 0));
  Settle();
  EXPECT_FALSE(m_window->IsVisible());
}

// A template window of the core, run modally over the main window: its controls answer the
// view's requests, the owner takes no input meanwhile, and its end gives the run's result.
class ProbeDialog final : public CDialogBase {
 public:
  using CDialogBase::CDialogBase;
  std::function<void(IWindowView&)> whileOpen;
  void OnInitDialog() override {
    // Runs inside the modal loop, once the window is up.
    g_idle_add(
        [](gpointer self) -> gboolean {
          auto* probe = static_cast<ProbeDialog*>(self);
          probe->whileOpen(probe->View());
          return G_SOURCE_REMOVE;
        },
        this);
  }
};

TEST_F(MainWindowPortTest, AnyTemplateRunsModallyOverItsOwner) {
  ProbeDialog settings(m_factory, res::kSettingsDialog);
  bool ownerTookInput = true;
  settings.whileOpen = [&](IWindowView& view) {
    ownerTookInput = gtk_widget_get_sensitive(GTK_WIDGET(m_window->Window()));
    view.SetCheck(res::kAutostartCheck, true);
    view.SetCheck(res::kWindowModeOffRadio, true);
    EXPECT_TRUE(view.IsChecked(res::kAutostartCheck));
    EXPECT_TRUE(view.IsChecked(res::kWindowModeOffRadio));
    // Radio buttons of one group exclude each other; other groups keep theirs.
    EXPECT_FALSE(view.IsChecked(res::kWindowModeOnRadio));
    view.SetCheck(res::kWindowModeAskRadio, true);
    EXPECT_FALSE(view.IsChecked(res::kWindowModeOffRadio));
    view.SetControlText(res::kOfficialFolderEdit, u"/游戏/穿越火线");
    EXPECT_EQ(view.GetControlText(res::kOfficialFolderEdit), u"/游戏/穿越火线");
    EXPECT_EQ(view.GetControlText(res::kTitleLabel), u"标题");
    // Escape in the window is its cancel.
    GdkEvent* key = gdk_event_new(GDK_KEY_PRESS);
    key->key.window = GDK_WINDOW(g_object_ref(
        gtk_widget_get_window(GTK_WIDGET(GtkTemplateDialog::FromHandle(view.Handle())->Window()))));
    key->key.keyval = GDK_KEY_Escape;
    gtk_main_do_event(key);
    gdk_event_free(key);
  };
  EXPECT_EQ(settings.DoModal(m_window->Handle()), kIdCancel);
  EXPECT_FALSE(ownerTookInput);
  EXPECT_TRUE(gtk_widget_get_sensitive(GTK_WIDGET(m_window->Window())));
  EXPECT_FALSE(settings.IsOpen());

  // The download dialog's progress bar follows its range.
  ProbeDialog download(m_factory, res::kDownloadDialog);
  download.whileOpen = [&](IWindowView& view) {
    view.SetProgressRange(res::kDownloadProgress, 1, 100);
    view.SetProgressPos(res::kDownloadProgress, 50);
    view.SetTitle(u"下载");
    download.EndDialog(7);
  };
  EXPECT_EQ(download.DoModal(m_window->Handle()), 7);
}

// "To the foreground" means the same as on Windows: a window on the screen comes to the
// front, a hidden one stays hidden (a right click on the tray icon must not show it).
TEST_F(MainWindowPortTest, TheForegroundNeverShowsAHiddenWindow) {
  GtkWidget* window = GTK_WIDGET(m_window->Window());
  ASSERT_TRUE(gtk_widget_get_visible(window));
  m_window->Show(kSwHide);
  m_window->SetForeground();
  EXPECT_FALSE(gtk_widget_get_visible(window));
  EXPECT_TRUE(m_windows.SetForeground(m_window->Handle()));
  Settle();
  EXPECT_FALSE(gtk_widget_get_visible(window));
  m_window->Show(kSwShowNormal);
  m_window->SetForeground();
  EXPECT_TRUE(gtk_widget_get_visible(window));
}

// What the core places a secondary window by: its owner's place only while the owner is on
// the screen, and the screen's work area.
TEST_F(MainWindowPortTest, PlacementFactsFollowTheOwnersState) {
  m_window->SetBounds(40, 30, 800, 600);
  Settle();
  std::vector<std::optional<ScreenRect>> owners;
  ScreenRect work;
  ProbeDialog about(m_factory, res::kAboutDialog);
  about.whileOpen = [&](IWindowView& view) {
    owners.push_back(view.ShownOwnerBounds());
    work = view.WorkArea();
    about.EndDialog(kIdOk);
  };
  about.DoModal(m_window->Handle());
  m_window->Show(kSwHide);
  about.DoModal(m_window->Handle());
  ASSERT_EQ(owners.size(), 2u);
  ASSERT_TRUE(owners[0]);
  EXPECT_EQ(owners[0]->width, 800);
  EXPECT_EQ(owners[0]->height, 600);
  EXPECT_FALSE(owners[1]);  // hidden: no place to be over
  EXPECT_EQ(work, (ScreenRect{0, 0, 1024, 768}));
}

// A label no window names keeps the toolkit's colours: nothing is white by default.
TEST_F(MainWindowPortTest, LabelsKeepTheSystemsColoursUntilAWindowNamesAStyle) {
  auto colourOf = [](GtkWidget* widget) {
    GdkRGBA colour{};
    GtkStyleContext* style = gtk_widget_get_style_context(widget);
    gtk_style_context_get_color(style, gtk_style_context_get_state(style), &colour);
    return colour;
  };
  ProbeDialog about(m_factory, res::kAboutDialog);
  about.whileOpen = [&](IWindowView& view) {
    GtkTemplateDialog* window = GtkTemplateDialog::FromHandle(view.Handle());
    ASSERT_TRUE(window);
    const GdkRGBA unnamed = colourOf(window->Control(res::kAboutText));
    EXPECT_FALSE(unnamed.red == 1.0 && unnamed.green == 1.0 && unnamed.blue == 1.0);
    TextStyle white;
    white.colour = 0xFFFFFF;
    view.SetTextStyle(res::kAboutText, white);
    const GdkRGBA named = colourOf(window->Control(res::kAboutText));
    EXPECT_DOUBLE_EQ(named.red, 1.0);
    EXPECT_DOUBLE_EQ(named.blue, 1.0);
    about.EndDialog(kIdOk);
  };
  about.DoModal(m_window->Handle());
}

}  // namespace
}  // namespace zeva::gtk
