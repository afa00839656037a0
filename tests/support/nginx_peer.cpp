#include "support/nginx_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

extern char** environ;

namespace zeva::test {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";

unsigned FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool Accepts(unsigned port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

bool NginxPeer::Installed() {
  return ::access(kNginx, X_OK) == 0;
}

NginxPeer::NginxPeer(const std::filesystem::path& root) {
  if (!Installed()) return;
  std::random_device random;
  m_work = std::filesystem::temp_directory_path() / ("zeva-nginx-" + std::to_string(random()));
  std::filesystem::create_directories(m_work);
  for (int attempt = 0; attempt < 5 && m_pid <= 0; ++attempt) {
    m_port = FreePort();
    const std::string w = m_work.string();
    std::ofstream(m_work / "nginx.conf")
        << "worker_processes 1;\npid " << w << "/nginx.pid;\nerror_log " << w
        << "/error.log;\nevents { worker_connections 256; }\nhttp {\n  access_log off;\n"
        << "  client_body_temp_path " << w << "/body;\n  proxy_temp_path " << w << "/proxy;\n"
        << "  fastcgi_temp_path " << w << "/fastcgi;\n  uwsgi_temp_path " << w << "/uwsgi;\n"
        << "  scgi_temp_path " << w << "/scgi;\n  sendfile on;\n"
        << "  server {\n    listen 127.0.0.1:" << m_port << ";\n    root " << root.string()
        << ";\n  }\n}\n";
    const std::string conf = w + "/nginx.conf";
    const std::string errors = w + "/error.log";
    const char* argv[] = {kNginx, "-p",         w.c_str(), "-e",          errors.c_str(),
                          "-c",   conf.c_str(), "-g",      "daemon off;", nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, kNginx, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      break;
    }
    for (int i = 0; i < 200; ++i) {
      if (Accepts(m_port)) {
        m_pid = pid;
        break;
      }
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) break;  // it gave up (port taken?)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (m_pid <= 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
}

NginxPeer::~NginxPeer() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGTERM);  // fast shutdown of the master and its worker
    ::waitpid(m_pid, nullptr, 0);
  }
  std::error_code ignored;
  if (!m_work.empty()) std::filesystem::remove_all(m_work, ignored);
}

}  // namespace zeva::test
