// The tool server over TLS: the whole road of an add-on (the portal, a call over the bridge, a
// paused and resumed download, the page's hash check, the unpacking) with a certificate of a
// test authority, and no page and no bridge where the certificate does not verify (an
// authority nobody trusts, a certificate for another name). Runs in the private mount
// namespace of with_test_authority.sh, which trusts the test authority there only.
#include <fcntl.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/client_identity.h"
#include "download/download_engine.h"
#include "game/profile.h"
#include "host/external_dispatcher.h"
#include "platform/http.h"
#include "platform/port.h"
#include "platform/unicode.h"
#include "ports/gtk/gtk_system.h"
#include "ports/gtk/webkit_browser.h"
#include "support/fake_script_object.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "support/web_view_driver.h"

extern char** environ;

namespace zeva {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The folder with_test_authority.sh made.
fs::path Authority() {
  const char* folder = std::getenv("ZEVA_TEST_TLS");
  return folder ? fs::path(folder) : fs::path();
}

class TlsEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }

  void SetUp() override {
    ASSERT_FALSE(Authority().empty()) << "run through with_test_authority.sh";
    m_files.executablePath = m_folder / u"zeva";
    m_game = m_folder.Native() / "穿越火线";
    fs::create_directories(m_game);
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
  }

  // The tool server over TLS with the certificate `name` of the authority's folder, on a free
  // port; its access log goes to a file of the test's.
  void StartServer(const std::string& name) {
    const std::string cert = (Authority() / (name + ".crt")).string();
    const std::string key = (Authority() / (name + ".key")).string();
    const std::string log = (m_folder.Native() / "access.log").string();
    const std::string ports = (m_folder.Native() / "ports.txt").string();
    const char* argv[] = {ZEVA_TOOLSERVER, "--site",     ZEVA_SITE_DIR, "--data",
                          ZEVA_DATA_DIR,   "--port",     "0",           "--account-port",
                          "off",           "--tls-cert", cert.c_str(),  "--tls-key",
                          key.c_str(),     "--log",      log.c_str(),   nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, ports.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_EQ(
        ::posix_spawn(&m_server, argv[0], &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // It prints the address it took: "... tool server on https://127.0.0.1:PORT/".
    test::RunUntil(
        [&] {
          const std::string said = Read(ports);
          const size_t at = said.find("https://127.0.0.1:");
          if (at == std::string::npos) return false;
          m_port = std::atoi(said.c_str() + at + 18);
          return m_port > 0;
        },
        10);
    ASSERT_GT(m_port, 0) << Read(ports);
    // The certificates name "localhost" (Wine's WinHTTP matches no address to an IP entry).
    m_toolServer = u"https://localhost:" + Utf8ToUtf16(std::to_string(m_port));
  }

  void OpenPortal() {
    ClientIdentity identity;
    LoadClientIdentity(m_platform, identity);
    m_browser.Navigate(BuildPortalUrl(m_platform, identity, m_toolServer));
  }
  // Whether the portal's start-up ran and found the client, within `seconds`.
  bool PortalReady(int seconds) {
    return test::RunUntil(
        [&] {
          return Eval("document.documentElement.getAttribute('data-zeva-ready')") == "client";
        },
        seconds);
  }
  std::string Eval(const std::string& script) {
    return test::Evaluate(WEBKIT_WEB_VIEW(m_browser.Widget()), script);
  }
  std::string State(const std::string& id) {
    return Eval("(function(){var a=portalAddons&&portalAddons.lookup('" + id +
                "');return a?a.state:'none';})()");
  }

  pid_t m_server = -1;
  int m_port = 0;
  std::u16string m_toolServer;
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
  // The bridge trusts exactly the configured scheme, host and port: asked at each call, as
  // the port is known once the server runs.
  std::unique_ptr<ExternalDispatcher> m_dispatcher;
  gtk::WebKitBrowser m_browser{
      ZEVA_BUILD_WEB_EXTENSION_DIR,
      [this](int32_t id, std::span<const ScriptValue> args, std::u16string_view url) {
        if (!m_dispatcher) {
          m_dispatcher = std::make_unique<ExternalDispatcher>(
              m_platform, m_page,
              ScriptHostLinks{nullptr, nullptr, nullptr,
                              [this](std::u16string_view u, std::u16string_view name, int32_t a,
                                     int32_t b) { return m_engine.DownloadFile(u, name, a, b); },
                              [this](int32_t a, int32_t b) { return m_engine.PauseDownload(a, b); },
                              [this](int32_t a, int32_t b) {
                                return m_engine.Tools().Figures(MakeToolKey(a, b));
                              }},
              std::vector<std::u16string>{m_toolServer});
        }
        ++m_calls;
        return m_dispatcher->Invoke(id, args, url);
      },
      m_dialogs, *m_shell, [] { return 0u; }};
  int m_calls = 0;
  GtkWidget* m_window = nullptr;
};

TEST_F(TlsEndToEnd, TheWholeRoadOfAnAddOnOverTls) {
  StartServer("localhost");
  OpenPortal();
  ASSERT_TRUE(PortalReady(30)) << Eval("document.title");
  EXPECT_EQ(Eval("location.protocol"), "https:");
  EXPECT_EQ(Eval("external.GetVersion()"), "1");  // the bridge answers the portal
  test::RunUntil([&] { return Eval("portalAddons.addons.length") == "3"; }, 30);
  ASSERT_EQ(Eval("portalAddons.addons.length"), "3");

  // Paused at once, then resumed to the end over TLS; then checked and unpacked.
  Eval("portalAddons.download('voice'); portalAddons.pause('voice'); 0");
  test::RunUntil(
      [&] {
        const std::string state = State("voice");
        return state == "paused" || state == "installed";
      },
      60);
  if (State("voice") == "paused") Eval("portalAddons.download('voice'); 0");
  test::RunUntil([&] { return State("voice") == "installed"; }, 60);
  ASSERT_EQ(State("voice"), "installed") << Eval("portalAddons.lookup('voice').message");
  const fs::path source = fs::path(ZEVA_ADDONS_DIR) / "voice";
  for (const auto& entry : fs::recursive_directory_iterator(source)) {
    if (!entry.is_regular_file()) continue;
    const fs::path unpacked = m_game / "zeva/voice" / fs::relative(entry.path(), source);
    EXPECT_EQ(Read(unpacked), Read(entry.path())) << unpacked;
  }
}

// A certificate that does not verify: the client's own page in place of the portal, nothing
// of the server's reaches the page, and the bridge is never called.
TEST_F(TlsEndToEnd, ACertificateThatDoesNotVerifyShowsNoPageAndNoBridge) {
  for (const std::string name : {"untrusted", "wrong-host"}) {
    SCOPED_TRACE(name);
    StartServer(name);
    m_calls = 0;
    OpenPortal();
    test::RunUntil([&] { return Eval("document.title") == "无法打开页面"; }, 30);
    EXPECT_EQ(Eval("document.title"), "无法打开页面");
    EXPECT_FALSE(PortalReady(2));
    EXPECT_EQ(m_calls, 0);
    // The download engine refuses the same server: its report says the download failed.
    auto reports = std::make_shared<test::FakeScriptObject>(true);
    m_page.SetCallBack(reports);
    m_engine.DownloadFile(m_toolServer + u"/addons/voice.zip", u"voice.zip", 9, 9);
    auto failed = [&] {
      for (const auto& call : reports->Calls()) {
        if (call.args.at(0) == kEventFailed) return true;
      }
      return false;
    };
    test::RunUntil(failed, 30);
    EXPECT_TRUE(failed());
    EXPECT_FALSE(fs::exists(m_folder.Native() / "Downloads" / "voice.zip") &&
                 fs::file_size(m_folder.Native() / "Downloads" / "voice.zip") > 0);
    // Nothing was ever asked of the server over the broken channel.
    EXPECT_EQ(Read(m_folder.Native() / "access.log").find("GET"), std::string::npos);
    ::kill(m_server, SIGTERM);
    ::waitpid(m_server, nullptr, 0);
    m_server = -1;
  }
}

}  // namespace
}  // namespace zeva
