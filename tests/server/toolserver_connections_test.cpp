// Kept-alive connections against the real zeva-toolserver: idle ones hold no worker, requests
// sent together are answered in order, idle ones are closed after the keep-alive time and on
// the way out. Every wait on the server is bounded by a receive time-out that only guards
// against a hang.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "server_process.h"

namespace zeva::test {
namespace {

constexpr int kHangGuardSeconds = 60;

class Client {
 public:
  explicit Client(int port) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    timeval guard{kHangGuardSeconds, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() { ::close(m_fd); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool Connected() const { return m_connected; }
  bool Send(const std::string& bytes) {
    return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }
  // One reply: its status line and headers, then as many bytes as its Content-Length says
  // (none after a HEAD). Empty when the connection ended or the guard ran out first.
  std::string Reply(bool head = false) {
    std::size_t end;
    while ((end = m_buffer.find("\r\n\r\n")) == std::string::npos) {
      if (!Fill()) return "";
    }
    std::size_t length = 0;
    const std::size_t at = m_buffer.find("Content-Length: ");
    if (!head && at != std::string::npos && at < end)
      length = std::atol(m_buffer.c_str() + at + 16);
    while (m_buffer.size() < end + 4 + length) {
      if (!Fill()) return "";
    }
    std::string reply = m_buffer.substr(0, end + 4 + length);
    m_buffer.erase(0, reply.size());
    return reply;
  }
  // Whether the server closed the connection (rather than the guard running out).
  bool ClosedByServer() {
    char byte;
    return m_buffer.empty() && ::recv(m_fd, &byte, 1, 0) == 0;
  }

 private:
  bool Fill() {
    char chunk[16384];
    const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
    if (got <= 0) return false;
    m_buffer.append(chunk, static_cast<std::size_t>(got));
    return true;
  }

  int m_fd;
  bool m_connected = false;
  std::string m_buffer;
};

std::string Request(const std::string& target, const std::string& method = "GET") {
  return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

bool IsOk(const std::string& reply) {
  return reply.rfind("HTTP/1.1 200 ", 0) == 0;
}

class ToolServerConnectionsTest : public ::testing::Test {
 protected:
  void Start(const std::string& keepAlive) {
    WriteFile(m_scratch.Path() / "addons" / "pack.zip", std::string(5000, 'z'));
    m_server = std::make_unique<ServerProcess>(
        ZEVA_TOOLSERVER_SITE, m_scratch.Path(),
        std::vector<std::string>{"--workers", std::to_string(kWorkers), "--keep-alive", keepAlive});
    ASSERT_TRUE(m_server->Started());
  }

  static constexpr int kWorkers = 2;
  ScratchFolder m_scratch;
  std::unique_ptr<ServerProcess> m_server;
};

TEST_F(ToolServerConnectionsTest, IdleConnectionsHoldNoWorker) {
  // Kept alive far longer than the test runs: a server whose idle connections held workers
  // would leave the later connections waiting for that long.
  Start("3600");
  std::vector<std::unique_ptr<Client>> idle;
  for (int i = 0; i < 4 * kWorkers; ++i) {
    idle.push_back(std::make_unique<Client>(m_server->Port()));
    ASSERT_TRUE(idle.back()->Connected());
    ASSERT_TRUE(idle.back()->Send(Request("/addons/pack.zip")));
    ASSERT_TRUE(IsOk(idle.back()->Reply())) << "connection " << i;
  }
  // A connection that has not sent its request yet holds none either.
  Client silent(m_server->Port());
  ASSERT_TRUE(silent.Connected());

  Client late(m_server->Port());
  ASSERT_TRUE(late.Send(Request("/CF30/portal.js")));
  EXPECT_TRUE(IsOk(late.Reply()));

  // Nothing was closed to make room: every idle connection still answers.
  for (auto& client : idle) {
    ASSERT_TRUE(client->Send(Request("/addons/pack.zip", "HEAD")));
    EXPECT_TRUE(IsOk(client->Reply(true)));
  }
  ASSERT_TRUE(silent.Send(Request("/addons/pack.zip")));
  EXPECT_TRUE(IsOk(silent.Reply()));
}

TEST_F(ToolServerConnectionsTest, RequestsSentTogetherAreAnsweredInOrder) {
  Start("3600");
  Client client(m_server->Port());
  // A reply without a body between two with one: each goes out whole, in order.
  ASSERT_TRUE(client.Send(Request("/addons/pack.zip") + Request("/addons/pack.zip", "HEAD") +
                          Request("/no/such") + Request("/addons/pack.zip")));
  const std::string first = client.Reply();
  EXPECT_TRUE(IsOk(first));
  EXPECT_EQ(first.substr(first.size() - 5000), std::string(5000, 'z'));
  const std::string head = client.Reply(true);
  EXPECT_TRUE(IsOk(head));
  EXPECT_NE(head.find("Content-Length: 5000"), std::string::npos) << head;
  EXPECT_EQ(client.Reply().rfind("HTTP/1.1 404 ", 0), 0u);
  EXPECT_TRUE(IsOk(client.Reply()));
  // "Connection: close" is honoured after the reply.
  ASSERT_TRUE(client.Send("GET /CF30/portal.js HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
  EXPECT_TRUE(IsOk(client.Reply()));
  EXPECT_TRUE(client.ClosedByServer());
}

TEST_F(ToolServerConnectionsTest, IdleConnectionsAreClosedAfterTheKeepAliveTime) {
  Start("1");
  Client client(m_server->Port());
  ASSERT_TRUE(client.Send(Request("/addons/pack.zip")));
  const std::string reply = client.Reply();
  ASSERT_TRUE(IsOk(reply));
  EXPECT_NE(reply.find("Keep-Alive: timeout=1"), std::string::npos) << reply;
  EXPECT_TRUE(client.ClosedByServer());
  Client silent(m_server->Port());
  EXPECT_TRUE(silent.ClosedByServer());
}

TEST_F(ToolServerConnectionsTest, StopsCleanlyWithConnectionsOpen) {
  Start("3600");
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < 3 * kWorkers; ++i) {
    clients.push_back(std::make_unique<Client>(m_server->Port()));
    ASSERT_TRUE(clients.back()->Send(Request("/addons/pack.zip")));
    ASSERT_TRUE(IsOk(clients.back()->Reply()));
  }
  // One more whose request is only half sent: its worker waits in a read.
  Client half(m_server->Port());
  ASSERT_TRUE(half.Send("GET /addons/pack.zip HTTP/1.1\r\n"));
  ASSERT_TRUE(clients.front()->Send(Request("/addons/pack.zip")));
  ASSERT_TRUE(IsOk(clients.front()->Reply()));

  const int status = m_server->StopWith(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace zeva::test
