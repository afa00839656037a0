#include "server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

extern char** environ;

namespace zeva::test {
namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  std::string pattern = (fs::temp_directory_path() / "zeva-server-XXXXXX").string();
  m_path = ::mkdtemp(pattern.data());
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(m_path, ignored);
}

void WriteFile(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string HttpReply::Header(const std::string& name) const {
  auto found = headers.find(name);
  return found == headers.end() ? std::string() : found->second;
}

ServerProcess::ServerProcess(const fs::path& site, const fs::path& data,
                             std::vector<std::string> extra) {
  fs::path output = m_scratch.Path() / "stdout.txt";
  std::vector<std::string> arguments = {
      ZEVA_TOOLSERVER_PROGRAM, "--site", site.string(), "--data", data.string(), "--port", "0",
      "--account-port",        "off"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (m_scratch.Path() / "stderr.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (m_pid < 0) return;

  // Wait for the start line (or the end of the process); a generous bound, not a measurement.
  const std::string marker = "tool server on http://";
  for (int attempt = 0; attempt < 400; ++attempt) {
    std::string text = ReadFile(output);
    std::size_t at = text.find(marker);
    if (at != std::string::npos) {
      std::size_t colon = text.find(':', at + marker.size());
      if (colon != std::string::npos && text.find('\n', colon) != std::string::npos) {
        m_port = std::atoi(text.c_str() + colon + 1);
        return;
      }
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
}

ServerProcess::~ServerProcess() {
  if (m_pid > 0) StopWith(SIGKILL);
}

std::string ServerProcess::Output() const {
  return ReadFile(m_scratch.Path() / "stdout.txt");
}

int ServerProcess::StopWith(int signal) {
  if (m_pid <= 0) return -1;
  ::kill(m_pid, signal);
  int status = 0;
  waitpid(m_pid, &status, 0);
  m_pid = -1;
  return status;
}

HttpReply Exchange(int port, const std::string& request, bool headOnly) {
  HttpReply reply;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return reply;
  }
  std::size_t sent = 0;
  while (sent < request.size()) {
    ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  std::string raw;
  char buffer[65536];
  while (true) {
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    raw.append(buffer, static_cast<std::size_t>(n));
    if (headOnly && raw.find("\r\n\r\n") != std::string::npos) break;
  }
  ::close(fd);

  std::size_t end = raw.find("\r\n\r\n");
  if (end == std::string::npos || raw.compare(0, 5, "HTTP/") != 0) return reply;
  std::istringstream head(raw.substr(0, end));
  std::string line;
  std::getline(head, line);
  reply.status = std::atoi(line.c_str() + line.find(' ') + 1);
  while (std::getline(head, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t value = line.find_first_not_of(' ', colon + 1);
    reply.headers[name] = value == std::string::npos ? "" : line.substr(value);
  }
  reply.body = raw.substr(end + 4);
  return reply;
}

HttpReply Get(int port, const std::string& target, const std::string& headers) {
  return Exchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
                            "Connection: close\r\n\r\n");
}

long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

}  // namespace zeva::test
