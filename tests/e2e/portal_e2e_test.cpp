// The whole road of an add-on: the reference tool server, the real portal page in the GTK
// browser, the download engine, the page's checks and the extractor, then the stand-in game
// started from the page. Runs on a virtual display.
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
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/client_identity.h"
#include "download/download_engine.h"
#include "game/profile.h"
#include "game/window_mode_watcher.h"
#include "host/external_dispatcher.h"
#include "platform/http.h"
#include "platform/port.h"
#include "platform/unicode.h"
#include "ports/gtk/gtk_system.h"
#include "ports/gtk/webkit_browser.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "support/web_view_driver.h"

extern char** environ;

namespace zeva {
namespace {

namespace fs = std::filesystem;

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

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PortalEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }

  // The server's data folder and its --rate ("" for none).
  virtual fs::path ServerData() { return ZEVA_DATA_DIR; }
  virtual std::string ServerRate() { return ""; }

  void SetUp() override {
    ASSERT_FALSE(PortOpen(8088)) << "port 8088 is taken: the tool server needs it";
    const std::string data = ServerData().string(), rate = ServerRate();
    std::vector<const char*> argv = {ZEVA_TOOLSERVER, "--site",         ZEVA_SITE_DIR,
                                     "--data",        data.c_str(),     "--port",
                                     "8088",          "--account-port", "off"};
    if (!rate.empty()) argv.insert(argv.end(), {"--rate", rate.c_str()});
    argv.push_back(nullptr);
    ASSERT_EQ(::posix_spawn(&m_server, argv[0], nullptr, nullptr, const_cast<char**>(argv.data()),
                            environ),
              0);
    for (int i = 0; i < 100 && !PortOpen(8088); ++i) ::usleep(50000);
    ASSERT_TRUE(PortOpen(8088));

    m_files.executablePath = m_folder / u"zeva";
    m_game = m_folder.Native() / "穿越火线";
    fs::create_directories(m_game);
    fs::copy_file(ZEVA_DEMO_GAME, m_game / "QQLogin.exe");
    const std::u16string config = m_folder / u"config.ini";
    ProfileSetString(m_platform, u"CF Info", u"FOLDER", m_game.u16string(), config);
    ProfileSetString(m_platform, u"system", u"Setup", u"false", config);

    m_window = gtk_offscreen_window_new();
    gtk_window_set_default_size(GTK_WINDOW(m_window), 798, 567);
    gtk_container_add(GTK_CONTAINER(m_window), m_browser.Widget());
    gtk_widget_show_all(m_window);
  }

  void TearDown() override {
    gtk_widget_destroy(m_window);
    if (m_server > 0) {
      ::kill(m_server, SIGTERM);
      ::waitpid(m_server, nullptr, 0);
    }
    // The stand-in game started by the page.
    const std::string stop = "pkill -f '" + (m_game / "QQLogin.exe").string() + "'";
    if (std::system(stop.c_str()) < 0) ADD_FAILURE() << "pkill";
  }

  void RunUntil(const std::function<bool()>& done, int seconds = 60) {
    test::RunUntil(done, seconds);
  }

  std::string Eval(const std::string& script) {
    return test::Evaluate(WEBKIT_WEB_VIEW(m_browser.Widget()), script);
  }

  // The portal as the client opens it, waited for until its catalogue is in.
  void OpenPortal() {
    ClientIdentity identity;
    LoadClientIdentity(m_platform, identity);
    m_browser.Navigate(BuildPortalUrl(m_platform, identity));
    RunUntil([&] { return Eval("portalAddons ? portalAddons.addons.length : 0") == "3"; });
  }

  std::string State(const std::string& id) {
    return Eval("(function(){var a=portalAddons&&portalAddons.lookup('" + id +
                "');return a?a.state:'none';})()");
  }

  pid_t m_server = -1;
  test::TempFolder m_folder;
  fs::path m_game;
  test::TestFileSystem m_files{CreateFileSystem()};
  std::unique_ptr<ITextCodec> m_codec = CreateTextCodec();
  test::FakeAdapters m_adapters;
  test::FakeInstance m_instance;
  gtk::GtkWindowSystem m_windows;
  test::FakeRegistry m_registry;
  test::FakeDialogs m_dialogs;
  std::unique_ptr<IShell> m_shell = CreateShell();
  test::FakeToolkit m_toolkit;
  test::FakeAutostart m_autostart;
  std::unique_ptr<ILoginClient> m_login = CreateLoginClient();
  std::unique_ptr<IFileDownloader> m_downloader = CreateFileDownloader();
  std::unique_ptr<IDiskSpace> m_diskSpace = CreateDiskSpace();
  Platform m_platform{m_files,    *m_codec,      m_adapters,  m_instance, m_windows,
                      m_registry, m_dialogs,     *m_shell,    m_toolkit,  m_autostart,
                      *m_login,   *m_downloader, *m_diskSpace};
  PageRegistration m_page;
  std::unique_ptr<IHttpClient> m_http = CreateHttpClient();
  DownloadEngine m_engine{m_platform, m_page, *m_http};
  ExternalDispatcher m_dispatcher{
      m_platform, m_page,
      ScriptHostLinks{
          nullptr, nullptr, nullptr,
          [this](std::u16string_view url, std::u16string_view name, int32_t a, int32_t b) {
            return m_engine.DownloadFile(url, name, a, b);
          },
          [this](int32_t a, int32_t b) { return m_engine.PauseDownload(a, b); },
          [this](int32_t a, int32_t b) { return m_engine.Tools().Figures(MakeToolKey(a, b)); }}};
  gtk::WebKitBrowser m_browser{
      ZEVA_BUILD_WEB_EXTENSION_DIR,
      [this](int32_t id, std::span<const ScriptValue> args, std::u16string_view url) {
        return m_dispatcher.Invoke(id, args, url);
      },
      m_dialogs, *m_shell, [] { return 0u; }};
  GtkWidget* m_window = nullptr;
};

TEST_F(PortalEndToEnd, AnAddOnTravelsFromTheServerIntoTheGameFolder) {
  OpenPortal();
  ASSERT_EQ(Eval("portalAddons.addons.length"), "3");

  // The large add-on: started and paused at once, then resumed to the end.
  Eval("portalAddons.download('voice'); portalAddons.pause('voice'); 0");
  RunUntil([&] {
    const std::string state = State("voice");
    return state == "paused" || state == "installed";
  });
  const std::string afterPause = State("voice");
  std::printf("voice add-on after the pause request: %s\n", afterPause.c_str());
  EXPECT_TRUE(afterPause == "paused" || afterPause == "installed") << afterPause;
  if (afterPause == "paused") {
    const auto part = fs::file_size(m_folder.Native() / "Downloads" /
                                    Eval("portalAddons.lookup('voice').info.file"));
    EXPECT_LT(part, fs::file_size(fs::path(ZEVA_DATA_DIR) / "addons" / "voice.zip"));
    Eval("portalAddons.download('voice'); 0");
  }
  RunUntil([&] { return State("voice") == "installed"; });
  ASSERT_EQ(State("voice"), "installed") << Eval("portalAddons.lookup('voice').message");

  Eval("portalAddons.download('crosshair'); 0");
  RunUntil([&] { return State("crosshair") == "installed"; });
  ASSERT_EQ(State("crosshair"), "installed");

  // Byte for byte the files the add-ons were made from, Chinese names included.
  for (const auto& [addon, folder] :
       {std::pair{"crosshair", "zeva/crosshair"}, std::pair{"voice", "zeva/voice"}}) {
    const fs::path source = fs::path(ZEVA_ADDONS_DIR) / addon;
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
      if (!entry.is_regular_file()) continue;
      const fs::path unpacked = m_game / folder / fs::relative(entry.path(), source);
      ASSERT_TRUE(fs::exists(unpacked)) << unpacked;
      EXPECT_EQ(Read(unpacked), Read(entry.path())) << unpacked;
    }
  }

  // Starting the game from the page: the stand-in opens its window.
  EXPECT_EQ(Eval("external.RunExe('" + (m_game / "QQLogin.exe").string() + "')"), "true");
  RunUntil([&] { return m_windows.FindTopLevelWindow(u"crossfire") != 0; }, 20);
  const WindowHandle game = m_windows.FindTopLevelWindow(u"crossfire");
  EXPECT_NE(game, 0u);
  EXPECT_TRUE(m_dialogs.boxes.empty());

  // The window-mode watcher, as message 2027 starts it, retitles the stand-in's window.
  std::atomic<bool> busy{true};
  WindowModeWatcher watcher(m_windows, busy);
  watcher.Start();
  RunUntil([&] { return !busy; }, 20);
  EXPECT_FALSE(busy);
  EXPECT_EQ(m_windows.FindTopLevelWindow(u"KIVO泽瓦助手窗口化"), game);
}

// The tool server holds a copy of the add-ons whose crosshair archive was damaged after it was
// made (its recorded digest stays), and sends at most 1 MB a second.
class DamagedArchiveEndToEnd : public PortalEndToEnd {
 protected:
  fs::path ServerData() override {
    const fs::path data = m_serverData.Native();
    fs::copy_file(fs::path(ZEVA_DATA_DIR) / "addons.ini", data / "addons.ini");
    fs::copy(fs::path(ZEVA_DATA_DIR) / "addons", data / "addons");
    std::fstream archive(data / "addons" / "crosshair.zip",
                         std::ios::in | std::ios::out | std::ios::binary);
    archive.seekp(200);
    archive.put('\x5A');
    return data;
  }
  std::string ServerRate() override { return "1000000"; }

  // The status line of the add-on's card, as the page shows it.
  std::string StatusLine(int index) {
    return Eval("document.querySelectorAll('.addon-status')[" + std::to_string(index) +
                "].textContent");
  }

  test::TempFolder m_serverData;
};

TEST_F(DamagedArchiveEndToEnd, ADamagedArchiveIsRefusedAndASoundOneInstalls) {
  OpenPortal();
  ASSERT_EQ(Eval("portalAddons.addons.length"), "3");
  ASSERT_EQ(Eval("portalAddons.addons[2].info.id"), "voice");

  // The paced download shows its speed and the time left while it runs.
  Eval("portalAddons.download('voice'); 0");
  std::string running;
  RunUntil([&] {
    running = StatusLine(2);
    return running.find("/s") != std::string::npos && running.find("剩余") != std::string::npos;
  });
  std::printf("while the voice add-on downloads: %s\n", running.c_str());
  EXPECT_NE(running.find("下载中"), std::string::npos) << running;
  EXPECT_NE(running.find("剩余"), std::string::npos) << running;
  RunUntil([&] { return State("voice") == "installed"; });
  ASSERT_EQ(State("voice"), "installed") << Eval("portalAddons.lookup('voice').message");
  EXPECT_TRUE(fs::exists(m_game / "zeva" / "voice"));

  // The damaged archive arrives whole, fails its digest, is deleted and never unpacked.
  Eval("portalAddons.download('crosshair'); 0");
  RunUntil([&] { return State("crosshair") == "damaged" || State("crosshair") == "installed"; });
  ASSERT_EQ(State("crosshair"), "damaged");
  const std::string message = StatusLine(0);
  std::printf("the damaged crosshair add-on: %s\n", message.c_str());
  EXPECT_NE(message.find("文件校验失败"), std::string::npos) << message;
  EXPECT_FALSE(fs::exists(m_folder.Native() / "Downloads" / "crosshair-1.0.3.zip"));
  EXPECT_FALSE(fs::exists(m_game / "zeva" / "crosshair"));
  EXPECT_EQ(
      ProfileGetString(m_platform, u"addons", u"crosshair", u"", 256, m_folder / u"config.ini"),
      u"");
  EXPECT_EQ(Eval("document.querySelectorAll('.addon button')[0].textContent"), "重新下载");
}

}  // namespace
}  // namespace zeva
