// A 1 GiB add-on is sent from disk in pieces: the server's resident memory stays small.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "server_process.h"

namespace zeva::test {
namespace {

TEST(ToolServerStreamingTest, SendsAGibibyteInConstantMemory) {
  constexpr long long kSize = 1LL << 30;
  ScratchFolder scratch;
  std::filesystem::create_directories(scratch.Path() / "addons");
  // A sparse file: a gibibyte of zeros that takes no disk space.
  int fd = ::open((scratch.Path() / "addons" / "huge.zip").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, kSize), 0);
  ::close(fd);

  ServerProcess server(ZEVA_TOOLSERVER_SITE, scratch.Path());
  ASSERT_TRUE(server.Started());
  long before = ResidentKiB(server.Pid());
  ASSERT_GT(before, 0);

  int socketFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(server.Port()));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string request =
      "GET /addons/huge.zip HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  ASSERT_EQ(::send(socketFd, request.data(), request.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(request.size()));

  std::string head;
  long long body = 0;
  long peak = before;
  long long nextSample = 64LL << 20;
  std::vector<char> buffer(1 << 20);
  bool nonZero = false;
  bool inBody = false;
  while (true) {
    ssize_t n = ::recv(socketFd, buffer.data(), buffer.size(), 0);
    if (n <= 0) break;
    std::size_t start = 0;
    if (!inBody) {
      head.append(buffer.data(), static_cast<std::size_t>(n));
      std::size_t end = head.find("\r\n\r\n");
      if (end == std::string::npos) continue;
      start = static_cast<std::size_t>(n) - (head.size() - end - 4);
      head.resize(end);
      inBody = true;
    }
    for (ssize_t i = static_cast<ssize_t>(start); i < n; ++i) nonZero |= buffer[i] != 0;
    body += n - static_cast<ssize_t>(start);
    if (body >= nextSample) {
      peak = std::max(peak, ResidentKiB(server.Pid()));
      nextSample += 64LL << 20;
    }
  }
  ::close(socketFd);

  EXPECT_NE(head.find("200 OK"), std::string::npos) << head;
  EXPECT_NE(head.find("Content-Length: 1073741824"), std::string::npos) << head;
  EXPECT_EQ(body, kSize);
  EXPECT_FALSE(nonZero);
  // Holding the file would take over a million KiB; a streaming server stays near its start.
  EXPECT_LT(peak - before, 32 * 1024) << "resident KiB before " << before << ", peak " << peak;
  RecordProperty("rss_before_kib", static_cast<int>(before));
  RecordProperty("rss_peak_kib", static_cast<int>(peak));
}

}  // namespace
}  // namespace zeva::test
