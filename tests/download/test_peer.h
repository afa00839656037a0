// The HTTP peer of the download tests: natively an in-process fault server (test_blob.h
// names only, so the same tests run against a server in another process); under Wine the
// native server that tests/download/run_with_server.sh started, named by ZEVA_TEST_SERVER.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include "support/fault_server.h"
#endif

namespace zeva::test {

#if defined(_WIN32)
struct ServedRequest {
  std::string path, target, range, ifRange, userAgent;
};
#endif

class TestPeer {
 public:
#if defined(_WIN32)
  TestPeer() {
    if (const char* url = std::getenv("ZEVA_TEST_SERVER")) m_base = url;
  }
  bool Available() const {
    return !m_base.empty();
  }
  std::string BaseUrl() const {
    return m_base;
  }
  // The server runs in another process: what it saw cannot be asked.
  std::optional<std::vector<ServedRequest>> Requests() const {
    return std::nullopt;
  }
  bool AddFile(const std::string&, std::string) {
    return false;
  }

 private:
  std::string m_base;
#else
  bool Available() const {
    return true;
  }
  std::string BaseUrl() const {
    return m_server.BaseUrl();
  }
  std::optional<std::vector<ServedRequest>> Requests() const {
    return m_server.Requests();
  }
  // A file of the server's own; only an in-process server takes one.
  bool AddFile(const std::string& name, std::string bytes) {
    m_server.AddFile(name, std::move(bytes));
    return true;
  }

 private:
  FaultServer m_server;
#endif
};

}  // namespace zeva::test
