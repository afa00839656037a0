// The settings window rendered by the GTK port: skinned, used with the mouse, its OK landing
// in config.ini and the autostart entry in a temporary XDG_CONFIG_HOME; and the retitling of
// another program's window through X11 from the watcher's thread.
#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "game/profile.h"
#include "game/settings_dialog.h"
#include "game/window_mode_watcher.h"
#include "gtk/pageless_factory.h"
#include "platform/path_style.h"
#include "ports/gtk/gtk_system.h"
#include "ports/posix/xdg_autostart.h"
#include "res/resource_ids.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "support/web_view_driver.h"

// Last: Xlib's macros (None, Status) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace zeva::gtk {
namespace {

void Settle() {
  const gint64 until = g_get_monotonic_time() + G_USEC_PER_SEC / 2;
  test::RunUntil([&] { return g_get_monotonic_time() > until; });
}

// Brightness 0-255 of a screen pixel.
int Brightness(GdkPixbuf* shot, int x, int y) {
  const guchar* pixel = gdk_pixbuf_get_pixels(shot) + y * gdk_pixbuf_get_rowstride(shot) +
                        x * gdk_pixbuf_get_n_channels(shot);
  return (pixel[0] + pixel[1] + pixel[2]) / 3;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class SettingsWindowPortTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }
  SettingsWindowPortTest() { ::setenv("XDG_CONFIG_HOME", (m_folder.Native() / "xdg").c_str(), 1); }
  ~SettingsWindowPortTest() override { ::unsetenv("XDG_CONFIG_HOME"); }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  posix::XdgAutostart m_autostart;
  GtkWindowSystem m_windows;
  Platform m_platform{m_test.files,    *m_test.codec,   m_test.adapters, m_test.instance,
                      m_windows,       m_test.registry, m_test.dialogs,  m_test.shell,
                      m_test.toolkit,  m_autostart,     m_test.login,    *m_test.downloader,
                      m_test.diskSpace};
  PagelessFactory m_factory;
};

TEST_F(SettingsWindowPortTest, SkinnedChosenWithTheMouseAndSaved) {
  const std::u16string game = m_folder / u"穿越火线";
  ASSERT_TRUE(m_test.files.CreateFolder(game));
  for (const char16_t* name : {u"QQLogin.exe", u"hook.dll", u"dbghelp.dll", u"Msimg32.dll"}) {
    test::WriteBytes(game + kPathSeparator + name, "MZ");
  }
  CDialogSet settings(m_platform, m_factory);
  struct Seen {
    int x = 0, y = 0, width = 0, height = 0;
    WindowHandle byTitle = 0, handle = 0;
    int band = 0, body = 0, brightestTitlePixel = 0;
  } seen;
  auto act = [&] {
    Settle();
    GtkWindow* window = m_factory.last->Window();
    gtk_window_get_position(window, &seen.x, &seen.y);
    gtk_window_get_size(window, &seen.width, &seen.height);
    seen.handle = settings.Handle();
    seen.byTitle = m_windows.FindTopLevelWindow(u"游戏设置");
    IWindowView& view = settings.View();
    view.SetControlText(res::kOfficialFolderEdit, game);
    for (int id : {res::kServerTestRadio, res::kWindowModeOffRadio, res::kUpdateAutoRadio,
                   res::kExitHideRadio, res::kAutostartCheck}) {
      view.SetCheck(id, true);
    }
    Settle();
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), 0, 0, 1024, 768);
    ASSERT_NE(shot, nullptr);
    gdk_pixbuf_save(shot, "settings_window.png", "png", nullptr, nullptr);
    seen.band = Brightness(shot, seen.x + 300, seen.y + 14);
    seen.body = Brightness(shot, seen.x + 430, seen.y + 200);
    for (int x = 10; x < 70; ++x) {
      for (int y = 9; y < 24; ++y) {
        seen.brightestTitlePixel =
            std::max(seen.brightestTitlePixel, Brightness(shot, seen.x + x, seen.y + y));
      }
    }
    g_object_unref(shot);
    // OK, clicked as a player would.
    const std::string click = "xdotool mousemove " + std::to_string(seen.x + 160) + " " +
                              std::to_string(seen.y + 332) + " sleep 0.3 click 1";
    g_spawn_command_line_async(click.c_str(), nullptr);
  };
  g_idle_add(
      [](gpointer data) -> gboolean {
        (*static_cast<decltype(act)*>(data))();
        return G_SOURCE_REMOVE;
      },
      &act);
  EXPECT_EQ(settings.DoModal(0), kIdOk);

  // Centred on the 1024 x 768 screen at the face's size, found by its title.
  EXPECT_EQ(seen.width, 440);
  EXPECT_EQ(seen.height, 355);
  EXPECT_EQ(seen.x, (1024 - 440) / 2);
  EXPECT_EQ(seen.y, (768 - 355) / 2);
  EXPECT_EQ(seen.byTitle, seen.handle);
  // A dark title band with white letters over a white body.
  EXPECT_LT(seen.band, 60);
  EXPECT_GT(seen.body, 240);
  EXPECT_GT(seen.brightestTitlePixel, 200);

  auto stored = [&](std::u16string_view section, std::u16string_view key) {
    return ProfileGetString(m_platform, section, key, u"", 8192, m_folder / u"config.ini");
  };
  EXPECT_EQ(stored(u"CF Info", u"FOLDER"), game);
  EXPECT_EQ(stored(u"system", u"run"), u"1");
  EXPECT_EQ(stored(u"system", u"wnd"), u"0");
  EXPECT_EQ(stored(u"system", u"autoupdate"), u"1");
  EXPECT_EQ(stored(u"system", u"exit"), u"1");
  EXPECT_EQ(stored(u"system", u"autostart"), u"1");
  EXPECT_FALSE(m_test.files.GetAttributes(game + kPathSeparator + u"hook.dll"));
  EXPECT_TRUE(m_test.files.GetAttributes(game + kPathSeparator + u"QQLogin.exe"));
  const std::string entry = Slurp((m_folder.Native() / "xdg/autostart/ZEVA.desktop").string());
  EXPECT_NE(entry.find("Exec=\"" + m_folder.Native().string() + "/zeva\"\n"), std::string::npos)
      << entry;
  EXPECT_NE(entry.find("Name=KIVO泽瓦助手\n"), std::string::npos);
}

// A window of another program, on a connection of its own.
class ForeignWindow {
 public:
  explicit ForeignWindow(const char* title) : m_display(XOpenDisplay(nullptr)) {
    m_window =
        XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 600, 500, 120, 80, 0, 0, 0);
    char* name = const_cast<char*>(title);
    Xutf8SetWMProperties(m_display, m_window, name, name, nullptr, 0, nullptr, nullptr, nullptr);
    XMapWindow(m_display, m_window);
    XSync(m_display, False);
  }
  ~ForeignWindow() {
    XDestroyWindow(m_display, m_window);
    XCloseDisplay(m_display);
  }
  Window Id() const { return m_window; }
  std::string WmName() {
    XTextProperty property{};
    std::string text;
    if (XGetWMName(m_display, m_window, &property) && property.value) {
      char** list = nullptr;
      int items = 0;
      if (Xutf8TextPropertyToTextList(m_display, &property, &list, &items) >= Success && items) {
        text = list[0];
      }
      if (list) XFreeStringList(list);
      XFree(property.value);
    }
    return text;
  }

 private:
  Display* m_display;
  Window m_window = 0;
};

TEST(WindowRetitleTest, TheWatcherRetitlesAnotherProgramsGameWindowThroughX11) {
  gtk_init(nullptr, nullptr);
  ForeignWindow decoy("crossfire launcher");
  ForeignWindow game("crossfire");
  GtkWindowSystem windows;
  std::atomic<bool> busy{true};
  WindowModeWatcher watcher(windows, busy);
  watcher.Start();
  const gint64 deadline = g_get_monotonic_time() + 30 * G_USEC_PER_SEC;  // a hang guard only
  while (busy && g_get_monotonic_time() < deadline) std::this_thread::yield();
  watcher.Stop();

  // The search reads _NET_WM_NAME first; programs that read only WM_NAME see it too.
  EXPECT_EQ(windows.FindTopLevelWindow(u"KIVO泽瓦助手窗口化"), game.Id());
  EXPECT_EQ(game.WmName(), "KIVO泽瓦助手窗口化");
  EXPECT_EQ(decoy.WmName(), "crossfire launcher");
  EXPECT_EQ(windows.FindTopLevelWindow(u"crossfire"), 0u);
  EXPECT_FALSE(windows.SetWindowTitle(0x7FFFFFF0, u"x"));
}

}  // namespace
}  // namespace zeva::gtk
