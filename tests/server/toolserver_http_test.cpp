// The real zeva-toolserver over sockets: routes, ranges, refusals, the account endpoint.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "server_process.h"

namespace zeva::test {
namespace {

namespace fs = std::filesystem;

std::string Bytes(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += static_cast<char>('a' + i % 26);
  return text;
}

class ToolServerHttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_data = m_scratch.Path() / "data";
    WriteFile(m_data / "addons" / "pack.zip", Bytes(1000));
    WriteFile(m_data / "addons" / "pack.zip.sha256", std::string(64, 'e') + "  pack.zip\n");
    WriteFile(m_data / "addons" / "empty.zip", "");
    WriteFile(m_data / "addons.ini",
              "[pack]\nname=测试包\nversion=1.0\narchive=pack.zip\nunpack=game\nfolder=zeva\n");
    WriteFile(m_data / "accounts.txt", "zeva\t123456\t10001\n玩家一号\tcf2026\t10002\n");
    WriteFile(m_data / "changelog.txt", "V3.0.7 2026-12-01\n- <新> 功能\nV3.0.6\n- 旧\n");
    WriteFile(m_data / "CFToolWeb" / "KIVOUpdate.exe", "updater");
    WriteFile(m_data / "xljiasu" / "XlaccSetup2.3.80.7820.exe", "installer");
    WriteFile(m_scratch.Path() / "secret.txt", "secret");
    m_server = std::make_unique<ServerProcess>(ZEVA_TOOLSERVER_SITE, m_data);
    ASSERT_TRUE(m_server->Started());
    m_port = m_server->Port();
  }

  ScratchFolder m_scratch;
  fs::path m_data;
  std::unique_ptr<ServerProcess> m_server;
  int m_port = 0;
};

TEST_F(ToolServerHttpTest, ServesThePortalPageForToolOneOnly) {
  HttpReply page = Get(m_port,
                       "/CF30/CF_Index.aspx?ToolId=1&SetUp=true&ClientVersion=V3.0.6"
                       "&UID=%e7%8e%a9&UWD=%61");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.Header("content-type"), "text/html; charset=utf-8");
  EXPECT_NE(page.body.find("portal_logic.js"), std::string::npos);
  EXPECT_EQ(Get(m_port, "/CF30/CF_Index.aspx?SetUp=&ClientVersion=V3.0.6").status, 400);
  EXPECT_EQ(Get(m_port, "/CF30/CF_Index.aspx?ToolId=2").status, 400);
  EXPECT_EQ(Get(m_port, "/CF30/CF_Index.aspx?ToolId=1&ToolId=2").status, 400);
  EXPECT_EQ(Get(m_port, "/CF30/portal.js").status, 200);
}

// The client's 意见反馈 menu opens this address on the forum host, the tool server by default.
TEST_F(ToolServerHttpTest, ServesTheFeedbackPage) {
  HttpReply page = Get(m_port, "/thread-6389501-1-1.html");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.Header("content-type"), "text/html; charset=utf-8");
  EXPECT_NE(page.body.find("<title>意见反馈"), std::string::npos);
}

TEST_F(ToolServerHttpTest, UpdateListAndLatestVersionComeFromTheChangelog) {
  HttpReply list = Get(m_port, "/manager/update/ToolWeb_Update_List.aspx?ToolId=1");
  EXPECT_EQ(list.status, 200);
  EXPECT_NE(list.body.find("&lt;新&gt; 功能"), std::string::npos);
  EXPECT_LT(list.body.find("V3.0.7"), list.body.find("V3.0.6"));
  EXPECT_EQ(Get(m_port, "/manager/update/ToolWeb_Update_List.aspx").status, 400);
  HttpReply latest = Get(m_port, "/manager/update/latest.json");
  EXPECT_EQ(latest.body, "{\"version\":\"V3.0.7\",\"date\":\"2026-12-01\"}\n");
  EXPECT_EQ(latest.Header("cache-control"), "no-store");
}

TEST_F(ToolServerHttpTest, ServesTheUpdaterAndTheInstallerFromTheDataFolder) {
  EXPECT_EQ(Get(m_port, "/CFToolWeb/KIVOUpdate.exe").body, "updater");
  EXPECT_EQ(Get(m_port, "/xljiasu/XlaccSetup2.3.80.7820.exe").body, "installer");
  EXPECT_EQ(Get(m_port, "/CFToolWeb/Other.exe").status, 404);
}

TEST_F(ToolServerHttpTest, WholeFileCarriesLengthAndValidators) {
  HttpReply whole = Get(m_port, "/addons/pack.zip");
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.body, Bytes(1000));
  EXPECT_EQ(whole.Header("content-length"), "1000");
  EXPECT_EQ(whole.Header("accept-ranges"), "bytes");
  EXPECT_EQ(whole.Header("content-type"), "application/zip");
  EXPECT_FALSE(whole.Header("etag").empty());
  EXPECT_NE(whole.Header("last-modified").find(" GMT"), std::string::npos);
  HttpReply again =
      Get(m_port, "/addons/pack.zip", "If-None-Match: " + whole.Header("etag") + "\r\n");
  EXPECT_EQ(again.status, 304);
  EXPECT_TRUE(again.body.empty());

  HttpReply empty = Get(m_port, "/addons/empty.zip");
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.Header("content-length"), "0");
}

TEST_F(ToolServerHttpTest, RangesGive206WithContentRange) {
  HttpReply resume = Get(m_port, "/addons/pack.zip", "Range: bytes=100-\r\n");
  EXPECT_EQ(resume.status, 206);
  EXPECT_EQ(resume.Header("content-range"), "bytes 100-999/1000");
  EXPECT_EQ(resume.Header("content-length"), "900");
  EXPECT_EQ(resume.body, Bytes(1000).substr(100));

  HttpReply middle = Get(m_port, "/addons/pack.zip", "Range: bytes=10-19\r\n");
  EXPECT_EQ(middle.Header("content-range"), "bytes 10-19/1000");
  EXPECT_EQ(middle.body, Bytes(1000).substr(10, 10));

  HttpReply suffix = Get(m_port, "/addons/pack.zip", "Range: bytes=-1\r\n");
  EXPECT_EQ(suffix.Header("content-range"), "bytes 999-999/1000");
  EXPECT_EQ(suffix.body, Bytes(1000).substr(999));

  HttpReply pastEnd = Get(m_port, "/addons/pack.zip", "Range: bytes=990-99999\r\n");
  EXPECT_EQ(pastEnd.Header("content-range"), "bytes 990-999/1000");
  EXPECT_EQ(pastEnd.body.size(), 10u);
}

TEST_F(ToolServerHttpTest, UnsatisfiableRangesGive416WithTheLength) {
  // A complete file: the client asks from its own length onwards.
  for (const char* range : {"bytes=1000-", "bytes=5000-6000", "bytes=5-3", "bytes=abc"}) {
    HttpReply reply = Get(m_port, "/addons/pack.zip", std::string("Range: ") + range + "\r\n");
    EXPECT_EQ(reply.status, 416) << range;
    EXPECT_EQ(reply.Header("content-range"), "bytes */1000") << range;
    EXPECT_TRUE(reply.body.empty()) << range;
  }
  HttpReply empty = Get(m_port, "/addons/empty.zip", "Range: bytes=0-\r\n");
  EXPECT_EQ(empty.status, 416);
  EXPECT_EQ(empty.Header("content-range"), "bytes */0");
}

TEST_F(ToolServerHttpTest, RangesWeDoNotHonourGetTheWholeFile) {
  for (const char* range : {"items=0-5", "bytes=0-1,5-6"}) {
    HttpReply reply = Get(m_port, "/addons/pack.zip", std::string("Range: ") + range + "\r\n");
    EXPECT_EQ(reply.status, 200) << range;
    EXPECT_EQ(reply.body.size(), 1000u) << range;
    EXPECT_TRUE(reply.Header("content-range").empty()) << range;
  }
  // A range on a page is ignored, not cut.
  EXPECT_EQ(Get(m_port, "/manager/update/latest.json", "Range: bytes=0-3\r\n").status, 200);
}

TEST_F(ToolServerHttpTest, IfRangeSendsTheWholeFileWhenItChanged) {
  std::string tag = Get(m_port, "/addons/pack.zip").Header("etag");
  EXPECT_EQ(Get(m_port, "/addons/pack.zip", "Range: bytes=10-\r\nIf-Range: " + tag + "\r\n").status,
            206);
  HttpReply changed = Get(m_port, "/addons/pack.zip", "Range: bytes=10-\r\nIf-Range: \"old\"\r\n");
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body.size(), 1000u);
}

TEST_F(ToolServerHttpTest, HeadGivesHeadersWithoutBody) {
  HttpReply head =
      Exchange(m_port, "HEAD /addons/pack.zip HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("content-length"), "1000");
  EXPECT_FALSE(head.Header("etag").empty());
  EXPECT_TRUE(head.body.empty());
  HttpReply ranged = Exchange(m_port,
                              "HEAD /addons/pack.zip HTTP/1.1\r\nHost: x\r\nRange: "
                              "bytes=600-\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(ranged.status, 206);
  EXPECT_EQ(ranged.Header("content-length"), "400");
  EXPECT_EQ(ranged.Header("content-range"), "bytes 600-999/1000");
  EXPECT_TRUE(ranged.body.empty());
}

TEST_F(ToolServerHttpTest, PathsThatClimbOutAreRefused) {
  fs::create_symlink(m_scratch.Path() / "secret.txt", m_data / "addons" / "link.zip");
  for (const char* target :
       {"/addons/../accounts.txt", "/addons/%2e%2e/accounts.txt", "/addons/..%2f..%2fsecret.txt",
        "/CF30/../../data/accounts.txt", "/addons/..%5caccounts.txt", "/addons/link.zip",
        "/xljiasu/%2E%2E/%2E%2E/secret.txt"}) {
    HttpReply reply = Get(m_port, target);
    EXPECT_EQ(reply.status, 403) << target;
    EXPECT_EQ(reply.body.find("secret"), std::string::npos) << target;
    EXPECT_EQ(reply.body.find("123456"), std::string::npos) << target;
  }
}

TEST_F(ToolServerHttpTest, UnknownPathsGet404AndBadRequests400) {
  EXPECT_EQ(Get(m_port, "/no/such/page.html").status, 404);
  EXPECT_EQ(Get(m_port, "/addons/").status, 404);
  EXPECT_EQ(Get(m_port, "/addons.ini").status, 404);  // the data folder is not the site
  EXPECT_EQ(Get(m_port, "/addons/%00pack.zip").status, 400);
  EXPECT_EQ(Exchange(m_port, "GARBAGE\r\n\r\n").status, 400);
  HttpReply post = Exchange(
      m_port,
      "POST /ajax.php HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(post.status, 405);
  EXPECT_EQ(post.Header("allow"), "GET, HEAD");
}

TEST_F(ToolServerHttpTest, CatalogueListsTheArchives) {
  HttpReply catalogue = Get(m_port, "/addons/catalogue.json");
  EXPECT_EQ(catalogue.status, 200);
  EXPECT_EQ(catalogue.Header("content-type"), "application/json; charset=utf-8");
  EXPECT_NE(catalogue.body.find("\"name\":\"测试包\""), std::string::npos);
  EXPECT_NE(catalogue.body.find("\"size\":1000"), std::string::npos);
  EXPECT_NE(catalogue.body.find("\"url\":\"/addons/pack.zip\""), std::string::npos);
  EXPECT_NE(catalogue.body.find("\"sha256\":\"" + std::string(64, 'e') + "\""), std::string::npos);
}

TEST_F(ToolServerHttpTest, LoginEndpointAnswersInCodePage936) {
  // The client encodes every byte, letters included, in lower-case hexadecimal.
  HttpReply ok = Get(m_port,
                     "/ajax.php?action=login&rcode=%e7%8e%a9%e5%ae%b6%e4%b8%80%e5%8f%b7%09"
                     "%63%66%32%30%32%36&appid=17");
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(ok.Header("content-type"), "text/plain; charset=GBK");
  EXPECT_EQ(ok.body.rfind("1|10002|", 0), 0u) << ok.body;
  EXPECT_NE(ok.body.find("\xB5\xC7\xC2\xBC"), std::string::npos);  // 登录 in GBK

  EXPECT_EQ(Get(m_port, "/ajax.php?action=login&rcode=zeva%09nope&appid=17").body.rfind("0|", 0),
            0u);
  EXPECT_EQ(Get(m_port, "/ajax.php?action=login&rcode=zeva%09123456&appid=18").status, 400);
  EXPECT_EQ(Get(m_port, "/ajax.php?action=login&appid=17").status, 400);
  EXPECT_EQ(Get(m_port, "/ajax.php?action=login&rcode=zeva123456&appid=17").status, 400);
  EXPECT_EQ(Get(m_port, "/ajax.php?action=login&rcode=%ff%09x&appid=17").status, 400);
  EXPECT_EQ(Get(m_port, "/ajax.php?action=login&action=x&rcode=zeva%09123456&appid=17").status,
            400);
}

TEST_F(ToolServerHttpTest, LogsOneLinePerRequestAndStopsCleanly) {
  Get(m_port, "/addons/pack.zip");
  Get(m_port, "/no/such");
  EXPECT_EQ(Get(m_port, "/addons/pack.zip", "Range: bytes=abc\r\n").status, 416);
  Get(m_port, "/ajax.php?action=login&rcode=zeva%09123456&appid=17");
  int status = m_server->StopWith(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string output = m_server->Output();
  EXPECT_NE(output.find("\"GET /addons/pack.zip HTTP/1.1\" 200 1000"), std::string::npos) << output;
  EXPECT_NE(output.find("\"GET /no/such HTTP/1.1\" 404"), std::string::npos);
  EXPECT_NE(output.find("\" 416 0"), std::string::npos);
  // The password travels in rcode: the log keeps the request without it.
  EXPECT_NE(output.find("\"GET /ajax.php?action=login&appid=17 HTTP/1.1\" 200"), std::string::npos)
      << output;
  EXPECT_EQ(output.find("123456"), std::string::npos);
  EXPECT_NE(output.find("stopped"), std::string::npos);
}

TEST(ToolServerProcessTest, StopsOnInterruptToo) {
  ScratchFolder scratch;
  ServerProcess server(ZEVA_TOOLSERVER_SITE, scratch.Path());
  ASSERT_TRUE(server.Started());
  int status = server.StopWith(SIGINT);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ToolServerProcessTest, AccountEndpointFallsBackWhenItsPortIsTaken) {
  // Hold a port so the account listener cannot have it.
  int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  socklen_t length = sizeof address;
  ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
  std::string taken = std::to_string(ntohs(address.sin_port));

  ScratchFolder scratch;
  WriteFile(scratch.Path() / "accounts.txt", "zeva\t123456\t10001\n");
  ServerProcess server(ZEVA_TOOLSERVER_SITE, scratch.Path(),
                       {"--account-port", taken, "--account-fallback-port", "0"});
  ASSERT_TRUE(server.Started());
  std::string output = server.Output();
  EXPECT_NE(output.find("account endpoint on http://127.0.0.1:"), std::string::npos) << output;
  std::size_t at = output.find("account endpoint on http://127.0.0.1:");
  int accountPort = std::atoi(output.c_str() + at + 37);
  EXPECT_NE(std::to_string(accountPort), taken);
  EXPECT_EQ(Get(accountPort, "/ajax.php?action=login&rcode=zeva%09123456&appid=17")
                .body.rfind("1|10001|", 0),
            0u);
  ::close(holder);
}

}  // namespace
}  // namespace zeva::test
