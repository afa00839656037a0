// The client as the GTK port composes it, on a virtual display, against the reference tool
// server: the login form's request with real boxes, the about and update-log windows from
// the help and tray menus, the update button handing over to the updater stand-in, and the
// portal's accelerator button fetching, installing and starting the accelerator stand-ins.
#include <arpa/inet.h>
#include <gtk/gtk.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>

#include "app/client.h"
#include "platform/port.h"
#include "platform/unicode.h"
#include "ports/gtk/gtk_dialog.h"
#include "ports/gtk/gtk_dialog_factory.h"
#include "ports/gtk/gtk_system.h"
#include "res/resource_ids.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "support/web_view_driver.h"
#include "ui/window_messages.h"

extern char** environ;

namespace zeva {
namespace {

namespace fs = std::filesystem;

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool PortOpen(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool open = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return open;
}

void Xdotool(const std::string& arguments) {
  g_spawn_command_line_async(("xdotool " + arguments).c_str(), nullptr);
}

// The message box on screen, if any.
GtkWidget* OpenBox() {
  GtkWidget* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* it = windows; it; it = it->next) {
    GtkWidget* window = GTK_WIDGET(it->data);
    if (GTK_IS_MESSAGE_DIALOG(window) && gtk_widget_get_mapped(window)) found = window;
  }
  g_list_free(windows);
  return found;
}

struct SeenBox {
  std::string title, text;
  std::vector<std::string> buttons;  // left to right
};

// The page area of the client's windows, if one is open.
WebKitWebView* FindWebView(GtkWidget* widget) {
  if (WEBKIT_IS_WEB_VIEW(widget)) return WEBKIT_WEB_VIEW(widget);
  WebKitWebView* found = nullptr;
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* it = children; it && !found; it = it->next)
      found = FindWebView(GTK_WIDGET(it->data));
    g_list_free(children);
  }
  return found;
}

WebKitWebView* PortalView() {
  WebKitWebView* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* it = windows; it && !found; it = it->next) found = FindWebView(GTK_WIDGET(it->data));
  g_list_free(windows);
  return found;
}

// What the portal says of itself once its start-up has run: "client" when it found the client.
constexpr char kPortalReady[] = "document.documentElement.getAttribute('data-zeva-ready')";

// One step of a player's session: it waits until `ready`, then acts.
struct Step {
  std::function<bool()> ready;
  std::function<void()> act;
};

class ClientWindowsEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }

  void SetUp() override { StartServer(); }
  void TearDown() override { StopServer(); }

  void StartServer() {
    const std::string port = std::to_string(m_port), account = std::to_string(m_accountPort);
    const std::string rate = std::to_string(m_serverRate);
    const char* argv[] = {ZEVA_TOOLSERVER, "--site", ZEVA_SITE_DIR, "--data",
                          ZEVA_DATA_DIR,   "--port", port.c_str(),  "--account-port",
                          account.c_str(), "--rate", rate.c_str(),  nullptr};
    ASSERT_EQ(
        ::posix_spawn(&m_server, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    for (int i = 0; i < 100 && !(PortOpen(m_port) && PortOpen(m_accountPort)); ++i) {
      ::usleep(50000);
    }
    ASSERT_TRUE(PortOpen(m_accountPort));
  }
  void StopServer() {
    if (m_server <= 0) return;
    ::kill(m_server, SIGTERM);
    ::waitpid(m_server, nullptr, 0);
    m_server = -1;
  }

  // Runs the main window until it ends, taking the steps in turn on its loop.
  void Play(std::deque<Step> steps) {
    m_steps = std::move(steps);
    m_stepCount = m_steps.size();
    m_deadline = g_get_monotonic_time() + 120 * G_USEC_PER_SEC;
    const guint ticker = g_timeout_add(
        100,
        [](gpointer self) -> gboolean {
          auto& test = *static_cast<ClientWindowsEndToEnd*>(self);
          if (!test.m_steps.empty() && g_get_monotonic_time() > test.m_deadline) {
            // A step that never comes true would hold nested loops open: end here, saying
            // which one it was.
            std::fprintf(stderr, "step %zu of %zu never became ready\n",
                         test.m_stepCount - test.m_steps.size() + 1, test.m_stepCount);
            // Enough of the page's state to tell a page that never found the client from a
            // click that went nowhere.
            if (WebKitWebView* view = PortalView()) {
              std::fprintf(
                  stderr, "portal %s, ready: %s, status: %s\n",
                  webkit_web_view_get_uri(view) ? webkit_web_view_get_uri(view) : "-",
                  test::Evaluate(view, kPortalReady, 2).c_str(),
                  test::Evaluate(view, "document.getElementById('status').textContent", 2).c_str());
            }
            test.StopServer();
            std::_Exit(1);
          }
          if (!test.m_steps.empty() && test.m_steps.front().ready()) {
            // Acts from an idle call of its own: an act that opens a box runs the box's loop,
            // and the ticker must keep turning in it.
            auto* act = new std::function<void()>(std::move(test.m_steps.front().act));
            test.m_steps.pop_front();
            g_idle_add_full(
                G_PRIORITY_DEFAULT,
                [](gpointer data) -> gboolean {
                  (*static_cast<std::function<void()>*>(data))();
                  return G_SOURCE_REMOVE;
                },
                act, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
          }
          return G_SOURCE_CONTINUE;
        },
        this);
    m_client.RunMainWindow();
    g_source_remove(ticker);
    EXPECT_TRUE(m_steps.empty()) << m_steps.size() << " steps not taken";
  }

  // Waits for a box, keeps what it says and answers OK.
  Step AnswerBox() {
    return {[] { return OpenBox() != nullptr; },
            [this] {
              GtkWidget* box = OpenBox();
              gchar* text = nullptr;
              g_object_get(box, "text", &text, nullptr);
              SeenBox seen{gtk_window_get_title(GTK_WINDOW(box)), text ? text : "", {}};
              g_free(text);
              for (int answer : {kIdYes, kIdNo, kIdOk, kIdCancel}) {
                GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(box), answer);
                if (button) seen.buttons.emplace_back(gtk_button_get_label(GTK_BUTTON(button)));
              }
              m_boxes.push_back(std::move(seen));
              gtk_dialog_response(GTK_DIALOG(box), kIdOk);
            }};
  }
  Step Login(const std::u16string& user, const std::u16string& password) {
    return {[] { return OpenBox() == nullptr; },
            [this, user, password] {
              IWindowView& view = m_client.MainWindow().View();
              view.SetControlText(res::kUserNameEdit, user);
              view.SetControlText(res::kPasswordEdit, password);
              m_client.MainWindow().OnCommand(res::kLoginButton);
            }};
  }
  // A step that waits a moment (the loop keeps turning).
  static Step Pause(int ms) {
    auto until = std::make_shared<gint64>(0);
    return {[until, ms] {
              if (*until == 0) *until = g_get_monotonic_time() + ms * 1000;
              return g_get_monotonic_time() >= *until;
            },
            [] {}};
  }
  Step WindowShown(const std::u16string& title) {
    return {[this, title] { return m_windows.FindTopLevelWindow(title) != 0; },
            [this, title] { m_found.push_back(title); }};
  }
  Step WindowGone(const std::u16string& title) {
    return {[this, title] { return m_windows.FindTopLevelWindow(title) == 0; }, [] {}};
  }
  // The caption's close box of a window of ours (no window manager draws one here).
  Step CloseWindow(const std::u16string& title) {
    return Do([this, title] {
      gtk::GtkTemplateDialog* window =
          gtk::GtkTemplateDialog::FromHandle(m_windows.FindTopLevelWindow(title));
      ASSERT_TRUE(window);
      gtk_window_close(window->Window());
    });
  }
  // The portal's own button, clicked once the page says it is ready: its handlers are in
  // place and it has found the client (a button that merely exists may be clicked before
  // the page's script has run, and the click is lost).
  static Step ClickInPortal(const std::string& id) {
    return {
        [] { return PortalView() && test::Evaluate(PortalView(), kPortalReady) == "client"; },
        [id] { test::Evaluate(PortalView(), "document.getElementById('" + id + "').click()"); }};
  }
  static Step FileThere(const fs::path& file) {
    return {[file] { return fs::exists(file); }, [] {}};
  }
  static Step Do(std::function<void()> act) {
    return {[] { return true; }, std::move(act)};
  }
  static void Screenshot(const std::string& name) {
    g_spawn_command_line_sync(("import -window root " + name).c_str(), nullptr, nullptr, nullptr,
                              nullptr);
  }

  std::uint64_t m_serverRate = 0;  // the tool server's --rate
  const int m_port = FreePort();
  const int m_accountPort = FreePort();
  pid_t m_server = -1;
  test::TempFolder m_folder;
  test::TestFileSystem m_files{CreateFileSystem()};
  std::unique_ptr<ITextCodec> m_codec = CreateTextCodec();
  test::FakeAdapters m_adapters;
  test::FakeInstance m_instance;
  gtk::GtkWindowSystem m_windows;
  test::FakeRegistry m_registry;
  gtk::GtkDialogs m_dialogs;
  std::unique_ptr<IShell> m_shell = CreateShell();
  test::FakeToolkit m_toolkit;
  test::FakeAutostart m_autostart;
  std::unique_ptr<ILoginClient> m_login = CreateLoginClient();
  std::unique_ptr<IFileDownloader> m_downloader = CreateFileDownloader();
  std::unique_ptr<IDiskSpace> m_diskSpace = CreateDiskSpace();
  Platform m_platform{m_files,    *m_codec,      m_adapters,  m_instance, m_windows,
                      m_registry, m_dialogs,     *m_shell,    m_toolkit,  m_autostart,
                      *m_login,   *m_downloader, *m_diskSpace};
  gtk::GtkDialogFactory m_factory{ZEVA_BUILD_WEB_EXTENSION_DIR, m_dialogs, *m_shell};
  std::unique_ptr<IHttpClient> m_http = CreateHttpClient();
  ZevaClient m_client{{m_platform,
                       m_factory,
                       *m_http,
                       {},
                       {Utf8ToUtf16("http://127.0.0.1:" + std::to_string(m_port)),
                        {u"127.0.0.1", static_cast<uint16_t>(m_accountPort)},
                        Utf8ToUtf16("http://127.0.0.1:" + std::to_string(m_port))}}};
  std::deque<Step> m_steps;
  size_t m_stepCount = 0;
  gint64 m_deadline = 0;
  std::vector<SeenBox> m_boxes;
  std::vector<std::u16string> m_found;
  int m_setup = [this] {
    m_files.executablePath = m_folder / u"zeva";
    return 0;
  }();
};

TEST_F(ClientWindowsEndToEnd, LoginAboutUpdateLogAndTheUpdate) {
  const std::u16string main = u"KIVO穿越火线泽瓦助手";
  Play({
      WindowShown(main),
      Pause(1500),
      // Enter at once goes to the page, never to the login form the page covers.
      Do([] { Xdotool("key Return"); }),
      Pause(1000),
      Do([] { EXPECT_EQ(OpenBox(), nullptr) << "Enter at start reached the hidden login form"; }),
      // A demo account, a wrong password: the account server's answers, read in GBK.
      Login(u"zeva", u"123456"),
      AnswerBox(),
      Login(u"zeva", u"wrong"),
      AnswerBox(),
      // The help button, then its menu by the keyboard: 更新日志 (the second item).
      Do([] { Xdotool("mousemove 733 14 click 1"); }),
      Pause(800),
      Do([] { Xdotool("key Down Down Return"); }),
      WindowShown(u"更新日志"),
      Pause(2500),
      Do([] { Screenshot("update_log_window.png"); }),
      // Its close button: centred over the main window, the X at width - 27.
      Do([] { Xdotool("mousemove 572 185 click 1"); }),
      WindowGone(u"更新日志"),
      // Opened again with the keyboard in its page: Escape closes it, as on Windows.
      Do([] { Xdotool("mousemove 733 14 click 1"); }),
      Pause(800),
      Do([] { Xdotool("key Down Down Return"); }),
      WindowShown(u"更新日志"),
      Pause(2000),
      Do([] { Xdotool("mousemove 400 330 click 1"); }),
      Pause(500),
      Do([] { Xdotool("key Escape"); }),
      WindowGone(u"更新日志"),
      // The help menu's 关于我们 (the fourth item), closed by its OK button.
      Do([] { Xdotool("mousemove 733 14 click 1"); }),
      Pause(800),
      Do([] { Xdotool("key Down Down Down Down Return"); }),
      WindowShown(u"关于我们"),
      Pause(700),
      Do([] { Screenshot("about_window.png"); }),
      Do([] { Xdotool("mousemove 400 350 click 1"); }),
      WindowGone(u"关于我们"),
      // The tray menu's 关于我们 (after 隐藏窗口), as a right click on the icon shows it.
      Do([this] {
        Xdotool("sleep 0.8 key Down Down Return");
        m_client.MainWindow().OnMessage(kWmTrayNotify, res::kAppIcon, 0x204);
      }),
      WindowShown(u"关于我们"),
      Do([] { Xdotool("key Escape"); }),
      WindowGone(u"关于我们"),
      // Hidden to the tray, a right click offers 显示窗口 and leaves the window hidden; the
      // left click brings it back.
      Do([this] { m_client.MainWindow().OnMessage(kWmTrayNotify, res::kAppIcon, 0x201); }),
      Do([this] {
        EXPECT_FALSE(m_client.MainWindow().View().IsVisible());
        Xdotool("sleep 0.8 key Escape");
        m_client.MainWindow().OnMessage(kWmTrayNotify, res::kAppIcon, 0x204);
      }),
      // (The steps go on while the menu's loop runs: this one waits until it has closed.)
      Pause(1500),
      Do([this] {
        EXPECT_FALSE(m_client.MainWindow().View().IsVisible()) << "the right click showed it";
        m_client.MainWindow().OnMessage(kWmTrayNotify, res::kAppIcon, 0x201);
      }),
      Pause(500),
      Do([this] { EXPECT_TRUE(m_client.MainWindow().View().IsVisible()); }),
      // The account server stopped: tried twice, then named.
      Do([this] { StopServer(); }),
      Login(u"zeva", u"123456"),
      AnswerBox(),
      Do([this] { StartServer(); }),
      // The update button: no updater yet, so it is fetched, started, and the client ends.
      Do([] { Xdotool("mousemove 151 17 click 1"); }),
  });

  ASSERT_EQ(m_boxes.size(), 3u);
  EXPECT_EQ(m_boxes[0].title, "zeva");
  EXPECT_EQ(m_boxes[0].text.rfind("1|10001|", 0), 0u) << m_boxes[0].text;
  EXPECT_NE(m_boxes[0].text.find("登录成功，欢迎您，zeva"), std::string::npos);
  EXPECT_EQ(m_boxes[1].text, "0|用户名或密码错误");
  EXPECT_EQ(m_boxes[2].text, "无法与服务器建立连接。");
  EXPECT_EQ(m_found, (std::vector<std::u16string>{main, u"更新日志", u"更新日志", u"关于我们",
                                                  u"关于我们"}));

  // The stand-in updater writes beside itself once it runs.
  const fs::path log = m_folder.Native() / "standin.log";
  test::RunUntil([&] { return fs::exists(log); }, 10);
  std::ifstream in(log);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "updater: started");
  EXPECT_FALSE(fs::exists(m_folder.Native() / "KIVOUpdate.exe.part"));
}

// The player asks for the accelerator: the installer downloads with a progress window (closed
// midway once, which leaves nothing), the offer's renamed buttons install it silently into
// the client folder, and the next request starts what was installed.
class AcceleratorEndToEnd : public ClientWindowsEndToEnd {
 protected:
  void SetUp() override {
    m_serverRate = 128 * 1024;  // the stand-in installer then takes about 4 s
    ClientWindowsEndToEnd::SetUp();
  }
};

TEST_F(AcceleratorEndToEnd, DownloadedInstalledAndStartedFromThePortal) {
  const std::u16string title = u"正在下载 迅雷加速器，请稍等";
  const fs::path downloads = m_folder.Native() / "Downloads";
  const fs::path program = m_folder.Native() / "xunlei" / "bin" / "XLacc.exe";
  bool partialSeen = false;
  Play({
      WindowShown(u"KIVO穿越火线泽瓦助手"),
      ClickInPortal("use-thunder"),
      WindowShown(title),
      FileThere(downloads / "jsq.exe.part"),
      Pause(1000),
      Do([] { Screenshot("download_dialog.png"); }),
      CloseWindow(title),
      WindowGone(title),
      Do([&] {
        // Closed midway: cancelled, and no part of it is left.
        partialSeen = true;
        EXPECT_FALSE(fs::exists(downloads / "jsq.exe.part"));
        EXPECT_FALSE(fs::exists(downloads / "jsq.exe"));
      }),
      ClickInPortal("use-thunder"),
      WindowShown(title),
      AnswerBox(),  // the offer, accepted
      WindowGone(title),
      FileThere(program),
      ClickInPortal("use-thunder"),
      FileThere(program.parent_path() / "standin.log"),
      Do([this] { m_client.MainWindow().PostQuit(); }),
  });
  EXPECT_TRUE(partialSeen);
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].title, "安装");
  EXPECT_EQ(m_boxes[0].text,
            "《迅雷加速器》下载完成，立即安装吗？\n加速器将直接安装在泽瓦助手目录中");
  EXPECT_EQ(m_boxes[0].buttons, (std::vector<std::string>{"我要安装", "暂不安装"}));
  EXPECT_TRUE(fs::exists(downloads / "jsq.exe"));
  EXPECT_FALSE(fs::exists(downloads / "jsq.exe.part"));
  std::ifstream log(program.parent_path() / "standin.log");
  std::string line;
  std::getline(log, line);
  EXPECT_EQ(line, "accelerator: started");
  std::ifstream installLog(downloads / "standin.log");
  std::getline(installLog, line);
  EXPECT_EQ(line, "installer: installed into " + (m_folder.Native() / "xunlei").string());
}

}  // namespace
}  // namespace zeva
