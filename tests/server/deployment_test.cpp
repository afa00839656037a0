// The nginx deployment (scripts/run-deployment with server/deploy/nginx.conf.in): which
// requests nginx answers from the files, which go to the reference servers behind it, and the
// validators a resumed download depends on.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "server_process.h"

extern char** environ;

namespace zeva::test {
namespace {

namespace fs = std::filesystem;

std::string Bytes(std::size_t count, char first = 'a') {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += static_cast<char>(first + i % 26);
  return text;
}

// Waits for `done`, at most a minute: a guard against a hang, not a measurement.
bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 2400 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  return done();
}

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

// The log lines of the reference servers behind nginx.
std::string UpstreamLogs(const fs::path& run) {
  std::string logs;
  for (const auto& entry : fs::directory_iterator(run)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("toolserver-", 0) == 0 && entry.path().extension() == ".log")
      logs += ReadFile(entry.path());
  }
  return logs;
}

class DeploymentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access("/usr/sbin/nginx", X_OK) != 0) GTEST_SKIP() << "nginx is not installed";
    // nginx's workers run as nobody when the tests run as root.
    fs::permissions(m_scratch.Path(), fs::perms::owner_all | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read |
                                          fs::perms::others_exec);
    m_data = m_scratch.Path() / "data";
    WriteFile(m_data / "addons" / "pack.zip", Bytes(1000));
    WriteFile(m_data / "addons" / "pack.zip.sha256", std::string(64, 'e') + "  pack.zip\n");
    WriteFile(m_data / "addons" / ".hidden", "hidden");
    WriteFile(m_data / "addons.ini",
              "[pack]\nname=测试包\nversion=1.0\narchive=pack.zip\nunpack=game\nfolder=zeva\n");
    WriteFile(m_data / "accounts.txt", "zeva\t123456\t10001\n");
    WriteFile(m_data / "changelog.txt", "V3.0.7 2026-12-01\n- 新功能\n");
    WriteFile(m_data / "xljiasu" / "XlaccSetup2.3.80.7820.exe", "installer");
    m_run = m_scratch.Path() / "run";

    m_port = FreePort();
    do m_accountPort = FreePort();
    while (m_accountPort == m_port);
    const std::string output = (m_scratch.Path() / "deployment.txt").string();
    std::vector<std::string> arguments = {"bash",           ZEVA_RUN_DEPLOYMENT,
                                          "--toolserver",   ZEVA_TOOLSERVER_PROGRAM,
                                          "--site",         ZEVA_TOOLSERVER_SITE,
                                          "--data",         m_data.string(),
                                          "--port",         std::to_string(m_port),
                                          "--account-port", std::to_string(m_accountPort),
                                          "--servers",      "2",
                                          "--run-dir",      m_run.string()};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // A process group of its own, so the test can always end the script and all it started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    ASSERT_EQ(::posix_spawnp(&m_pid, "bash", &actions, &attributes, argv.data(), environ), 0);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    bool ended = false;
    Eventually([&] {
      ended = ended || ::waitpid(m_pid, nullptr, WNOHANG) == m_pid;
      return ended || Get(m_port, "/CF30/portal.js").status == 200;
    });
    if (ended) m_pid = -1;
    ASSERT_EQ(Get(m_port, "/CF30/portal.js").status, 200)
        << ReadFile(output) << ReadFile(m_run / "toolserver-1.out")
        << ReadFile(m_run / "error.log");
  }

  void TearDown() override {
    if (m_pid <= 0) return;
    // The script stops nginx and the reference servers; the minute is only a hang guard.
    ::kill(-m_pid, SIGTERM);
    if (!Eventually([&] { return ::waitpid(m_pid, nullptr, WNOHANG) != 0; })) {
      ADD_FAILURE() << "the deployment did not stop";
      ::kill(-m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
    EXPECT_EQ(Get(m_port, "/CF30/portal.js").status, 0) << "nginx outlived the script";
  }

  ScratchFolder m_scratch;
  fs::path m_data;
  fs::path m_run;
  pid_t m_pid = -1;
  int m_port = 0;
  int m_accountPort = 0;
};

TEST_F(DeploymentTest, FilesComeFromNginxAndComputedAnswersFromTheReferenceServers) {
  HttpReply portal = Get(m_port, "/CF30/CF_Index.aspx?ToolId=1&SetUp=true&ClientVersion=V3.0.6");
  EXPECT_EQ(portal.status, 200);
  EXPECT_EQ(portal.Header("content-type"), "text/html; charset=utf-8");
  EXPECT_EQ(portal.Header("cache-control"), "no-store");
  EXPECT_EQ(portal.body, ReadFile(fs::path(ZEVA_TOOLSERVER_SITE) / "CF30" / "index.html"));
  EXPECT_EQ(Get(m_port, "/CF30/portal.js").Header("content-type"),
            "application/javascript; charset=utf-8");
  EXPECT_EQ(Get(m_port, "/addons/pack.zip").body, Bytes(1000));
  EXPECT_EQ(Get(m_port, "/addons/pack.zip.sha256").body, std::string(64, 'e') + "  pack.zip\n");
  EXPECT_EQ(Get(m_port, "/xljiasu/XlaccSetup2.3.80.7820.exe").body, "installer");

  // What only the reference server can answer, and the portal addresses it refuses.
  HttpReply catalogue = Get(m_port, "/addons/catalogue.json");
  EXPECT_NE(catalogue.body.find("\"sha256\":\"" + std::string(64, 'e') + "\""), std::string::npos)
      << catalogue.body;
  EXPECT_EQ(Get(m_port, "/manager/update/latest.json").body,
            "{\"version\":\"V3.0.7\",\"date\":\"2026-12-01\"}\n");
  EXPECT_NE(Get(m_port, "/manager/update/ToolWeb_Update_List.aspx?ToolId=1").body.find("新功能"),
            std::string::npos);
  const std::string login = "/ajax.php?action=login&rcode=zeva%09123456&appid=17";
  EXPECT_EQ(Get(m_port, login).body.rfind("1|10001|", 0), 0u);
  EXPECT_EQ(Get(m_accountPort, login).body.rfind("1|10001|", 0), 0u);
  for (const char* refused :
       {"/CF30/CF_Index.aspx?SetUp=true", "/CF30/CF_Index.aspx?ToolId=2",
        "/CF30/CF_Index.aspx?ToolId=1&ToolId=2", "/CF30/CF_Index.aspx?ToolId=1&Tool%49d=2",
        "/CF30/CF_Index.aspx?ToolId=1=2", "/CF30/CF_Index.aspx?XToolId=1"}) {
    EXPECT_EQ(Get(m_port, refused).status, 400) << refused;
  }

  const std::string upstream = UpstreamLogs(m_run);
  EXPECT_NE(upstream.find("GET /addons/catalogue.json "), std::string::npos) << upstream;
  EXPECT_NE(upstream.find("GET /ajax.php?action=login&appid=17 "), std::string::npos);
  EXPECT_NE(upstream.find("GET /CF30/CF_Index.aspx?ToolId=2 "), std::string::npos);
  for (const char* fromFiles : {"ToolId=1&SetUp=true", "portal.js", "pack.zip ", "Xlacc"}) {
    EXPECT_EQ(upstream.find(fromFiles), std::string::npos) << fromFiles;
  }
}

TEST_F(DeploymentTest, RefusesWhatTheReferenceServerRefuses) {
  EXPECT_EQ(Get(m_port, "/addons/.hidden").status, 404);
  EXPECT_EQ(Get(m_port, "/addons.ini").status, 404);  // the data folder is not the site
  EXPECT_EQ(Get(m_port, "/accounts.txt").status, 404);
  EXPECT_EQ(Get(m_port, "/addons/").status, 404);
  EXPECT_EQ(Get(m_port, "/addons/../accounts.txt").status, 404);
  EXPECT_NE(Get(m_port, "/addons/..%2f..%2f" + m_data.filename().string() + "/accounts.txt").status,
            200);
  HttpReply home = Get(m_port, "/");
  EXPECT_EQ(home.status, 302);
  EXPECT_NE(home.Header("location").find("/CF30/CF_Index.aspx?ToolId=1"), std::string::npos);
}

// The client resumes with "Range: bytes=N-" and "If-Range: <validator>": the rest of the same
// file, or the whole of a changed one.
TEST_F(DeploymentTest, IfRangeResumesTheSameFileAndRestartsAChangedOne) {
  HttpReply whole = Get(m_port, "/addons/pack.zip");
  const std::string tag = whole.Header("etag");
  ASSERT_EQ(tag.front(), '"') << tag;  // strong: no W/
  EXPECT_EQ(whole.Header("accept-ranges"), "bytes");
  for (const std::string& validator : {tag, whole.Header("last-modified")}) {
    HttpReply rest =
        Get(m_port, "/addons/pack.zip", "Range: bytes=100-\r\nIf-Range: " + validator + "\r\n");
    EXPECT_EQ(rest.status, 206) << validator;
    EXPECT_EQ(rest.Header("content-range"), "bytes 100-999/1000");
    EXPECT_EQ(rest.body, Bytes(1000).substr(100));
  }
  HttpReply complete = Get(m_port, "/addons/pack.zip", "Range: bytes=1000-\r\n");
  EXPECT_EQ(complete.status, 416);
  EXPECT_EQ(complete.Header("content-range"), "bytes */1000");

  // Replaced as a release replaces it: written beside, renamed over.
  WriteFile(m_data / "addons" / "pack.zip.new", Bytes(1200, 'A'));
  fs::rename(m_data / "addons" / "pack.zip.new", m_data / "addons" / "pack.zip");
  HttpReply changed =
      Get(m_port, "/addons/pack.zip", "Range: bytes=100-\r\nIf-Range: " + tag + "\r\n");
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body, Bytes(1200, 'A'));
  EXPECT_NE(changed.Header("etag"), tag);
}

TEST_F(DeploymentTest, TheAccessLogKeepsNoCredentials) {
  EXPECT_EQ(Get(m_port, "/ajax.php?action=login&rcode=zeva%09123456&appid=17").status, 200);
  EXPECT_EQ(Get(m_port, "/CF30/CF_Index.aspx?ToolId=1&UID=zeva&UWD=secretword").status, 200);
  const fs::path log = m_run / "access.log";
  ASSERT_TRUE(Eventually([&] {
    const std::string text = ReadFile(log);
    return text.find("\"GET /ajax.php ") != std::string::npos &&
           text.find("\"GET /CF30/CF_Index.aspx ") != std::string::npos;
  })) << ReadFile(log);
  const std::string text = ReadFile(log) + UpstreamLogs(m_run);
  EXPECT_EQ(text.find("123456"), std::string::npos) << text;
  EXPECT_EQ(text.find("secretword"), std::string::npos) << text;
}

}  // namespace
}  // namespace zeva::test
