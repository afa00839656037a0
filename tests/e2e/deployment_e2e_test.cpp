// The client's whole road against the nginx deployment (scripts/run-deployment: nginx serving
// the files, two reference servers behind it): the portal, the logins, an add-on paused and
// resumed with nginx's own validator, checked and unpacked, the update list, and the updater
// with its signature. Runs on a virtual display.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
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
#include "app/login.h"
#include "app/updater_signature.h"
#include "download/download_engine.h"
#include "download/resume_validator.h"
#include "download/whole_file_download.h"
#include "game/profile.h"
#include "host/external_dispatcher.h"
#include "platform/http.h"
#include "platform/port.h"
#include "platform/unicode.h"
#include "ports/gtk/gtk_system.h"
#include "ports/gtk/webkit_browser.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "support/web_view_driver.h"
#include "zeva/endpoints.h"

extern char** environ;

namespace zeva {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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

// nginx's entity tag of a file: its modification time and its length, in hexadecimal.
std::string NginxEntityTag(const fs::path& file) {
  struct stat facts {};
  ::stat(file.c_str(), &facts);
  char tag[64];
  std::snprintf(tag, sizeof tag, "\"%llx-%llx\"", static_cast<unsigned long long>(facts.st_mtime),
                static_cast<unsigned long long>(facts.st_size));
  return tag;
}

class DeploymentEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }

  void SetUp() override {
    ASSERT_EQ(::access("/usr/sbin/nginx", X_OK), 0) << "nginx is missing: run scripts/setup";
    m_port = FreePort();
    m_run = m_folder.Native() / "deployment";
    const std::string port = std::to_string(m_port), run = m_run.string();
    const std::string output = (m_folder.Native() / "deployment.txt").string();
    // Downloads at 2 MB/s, so the add-on can be paused midway.
    const char* argv[] = {
        "bash",   ZEVA_RUN_DEPLOYMENT, "--toolserver", ZEVA_TOOLSERVER, "--site",    ZEVA_SITE_DIR,
        "--data", ZEVA_DATA_DIR,       "--port",       port.c_str(),    "--servers", "2",
        "--rate", "2000000",           "--run-dir",    run.c_str(),     nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // A process group of its own, so the test can always end the script and all it started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    ASSERT_EQ(::posix_spawnp(&m_deployment, "bash", &actions, &attributes, const_cast<char**>(argv),
                             environ),
              0);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    test::RunUntil([&] { return PortOpen(m_port); }, 60);
    ASSERT_TRUE(PortOpen(m_port)) << Read(output) << Read(m_run / "toolserver-1.out")
                                  << Read(m_run / "error.log");
    m_toolServer = Utf8ToUtf16("http://127.0.0.1:" + port);

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
    if (m_window) gtk_widget_destroy(m_window);
    if (m_deployment <= 0) return;
    // The script stops nginx and the reference servers; the minute is only a hang guard.
    ::kill(-m_deployment, SIGTERM);
    for (int i = 0; i < 2400; ++i) {
      if (::waitpid(m_deployment, nullptr, WNOHANG) != 0) return;
      ::usleep(25000);
    }
    ADD_FAILURE() << "the deployment did not stop";
    ::kill(-m_deployment, SIGKILL);
    ::waitpid(m_deployment, nullptr, 0);
  }

  std::string Eval(const std::string& script) {
    return test::Evaluate(WEBKIT_WEB_VIEW(m_browser.Widget()), script);
  }
  std::string State(const std::string& id) {
    return Eval("(function(){var a=portalAddons&&portalAddons.lookup('" + id +
                "');return a?a.state:'none';})()");
  }
  // nginx's access log, written out at least once a second.
  bool Logged(const std::string& line) {
    return test::RunUntil(
        [&] { return Read(m_run / "access.log").find(line) != std::string::npos; }, 30);
  }

  pid_t m_deployment = -1;
  int m_port = 0;
  fs::path m_run;
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
  // The bridge trusts the deployment's origin, known once it runs.
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
        return m_dispatcher->Invoke(id, args, url);
      },
      m_dialogs, *m_shell, [] { return 0u; }};
  GtkWidget* m_window = nullptr;
};

TEST_F(DeploymentEndToEnd, TheWholeRoadThroughNginx) {
  ClientIdentity identity;
  LoadClientIdentity(m_platform, identity);
  m_browser.Navigate(BuildPortalUrl(m_platform, identity, m_toolServer));
  test::RunUntil(
      [&] { return Eval("document.documentElement.getAttribute('data-zeva-ready')") == "client"; },
      30);
  ASSERT_EQ(Eval("document.documentElement.getAttribute('data-zeva-ready')"), "client");
  test::RunUntil([&] { return Eval("portalAddons.addons.length") == "3"; }, 30);
  ASSERT_EQ(Eval("portalAddons.addons.length"), "3");  // the catalogue, from upstream

  // The portal's login form and the client's own: the account endpoint through nginx.
  Eval(
      "document.getElementById('login-name').value='zeva';"
      "document.getElementById('login-password').value='123456';"
      "document.getElementById('login-button').click(); 0");
  test::RunUntil(
      [&] { return Eval("document.getElementById('account-uid').textContent") == "10001"; }, 30);
  EXPECT_EQ(Eval("document.getElementById('account-uid').textContent"), "10001")
      << Eval("document.getElementById('status').textContent");
  RunLoginCommand(m_platform, 0, AccountServer{u"127.0.0.1", static_cast<uint16_t>(m_port)},
                  u"zeva", u"123456");
  ASSERT_EQ(m_dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_dialogs.boxes[0].text.rfind(u"1|10001|", 0), 0u)
      << Utf16ToUtf8(m_dialogs.boxes[0].text);

  // The large add-on, paused once some of it is here, then resumed under nginx's validator.
  const fs::path archive =
      m_folder.Native() / "Downloads" / Eval("portalAddons.lookup('voice').info.file");
  const fs::path served = fs::path(ZEVA_DATA_DIR) / "addons" / "voice.zip";
  Eval("portalAddons.download('voice'); 0");
  test::RunUntil([&] { return fs::exists(archive) && fs::file_size(archive) > 0; }, 30);
  Eval("portalAddons.pause('voice'); 0");
  test::RunUntil([&] { return State("voice") == "paused"; }, 30);
  ASSERT_EQ(State("voice"), "paused");
  const auto paused = fs::file_size(archive);
  EXPECT_GT(paused, 0u);
  EXPECT_LT(paused, fs::file_size(served));
  EXPECT_EQ(LoadResumeValidator(m_files, archive.u16string()), NginxEntityTag(served));
  Eval("portalAddons.download('voice'); 0");
  test::RunUntil([&] { return State("voice") == "installed"; }, 60);
  ASSERT_EQ(State("voice"), "installed") << Eval("portalAddons.lookup('voice').message");
  EXPECT_TRUE(Logged("\"GET /addons/voice.zip HTTP/1.1\" 206 ")) << Read(m_run / "access.log");
  // Checked against the catalogue's digest, then unpacked byte for byte.
  const fs::path source = fs::path(ZEVA_ADDONS_DIR) / "voice";
  for (const auto& entry : fs::recursive_directory_iterator(source)) {
    if (!entry.is_regular_file()) continue;
    const fs::path unpacked = m_game / "zeva/voice" / fs::relative(entry.path(), source);
    EXPECT_EQ(Read(unpacked), Read(entry.path())) << unpacked;
  }

  // The update list, computed behind nginx from the changelog.
  std::ifstream changelog(fs::path(ZEVA_DATA_DIR) / "changelog.txt");
  std::string line;
  while (std::getline(changelog, line) && line.rfind("V", 0) != 0) {
  }
  const std::string latest = line.substr(0, line.find(' '));
  ASSERT_FALSE(latest.empty());
  ASSERT_TRUE(test::LoadAndWait(WEBKIT_WEB_VIEW(m_browser.Widget()), [&] {
    m_browser.Navigate(m_toolServer + u"/manager/update/ToolWeb_Update_List.aspx?ToolId=1");
  }));
  EXPECT_EQ(Eval("document.title"), "更新日志");
  EXPECT_NE(Eval("document.body.textContent").find(latest), std::string::npos);

  // The updater and its signature, whole-file downloads straight from nginx's files.
  const std::u16string updater = m_folder / u"KIVOUpdate.exe";
  const std::u16string signature = updater + kSignatureSuffix;
  EXPECT_EQ(DownloadWholeFile(m_platform, m_toolServer + u"/CFToolWeb/KIVOUpdate.exe", updater),
            DownloadResult::kDone);
  EXPECT_EQ(
      DownloadWholeFile(m_platform, m_toolServer + u"/CFToolWeb/KIVOUpdate.exe.minisig", signature),
      DownloadResult::kDone);
  EXPECT_EQ(Read(fs::path(updater)), Read(fs::path(ZEVA_DATA_DIR) / "CFToolWeb/KIVOUpdate.exe"));
  EXPECT_EQ(CheckSignatureFile(m_files, updater, signature, endpoints::kUpdaterPublicKey),
            SignatureCheck::kGood);
  EXPECT_TRUE(Logged("\"GET /CFToolWeb/KIVOUpdate.exe.minisig HTTP/1.1\" 200 "));
}

}  // namespace
}  // namespace zeva
