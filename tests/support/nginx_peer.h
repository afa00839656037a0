// A private nginx serving a folder on a free loopback port, in the foreground, stopped with
// the object. Native only.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace zeva::test {

class NginxPeer {
 public:
  // Serves `root`; Running() is false when nginx is missing or would not start.
  explicit NginxPeer(const std::filesystem::path& root);
  ~NginxPeer();
  NginxPeer(const NginxPeer&) = delete;
  NginxPeer& operator=(const NginxPeer&) = delete;

  static bool Installed();
  bool Running() const { return m_pid > 0; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }

 private:
  std::filesystem::path m_work;
  pid_t m_pid = -1;
  unsigned m_port = 0;
};

}  // namespace zeva::test
