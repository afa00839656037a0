// An HTTP/1.1 test server on 127.0.0.1 (POSIX; optionally TLS) whose paths choose how it
// misbehaves. Every reply closes its connection. Paths, with NAME a file added by the test
// or a blob name (test_blob.h):
//   /file/NAME           honours "Range: bytes=N-": 206, or 416 "bytes */size" past the end
//   /ignore-range/NAME   always 200 with the whole file
//   /wrong-range/NAME    a ranged request gets a 206 starting one byte after the one asked
//   /always-416/NAME     416 naming a length other than the file's
//   /no-length/NAME      like /file, without Content-Length (the end is the closed connection)
//   /drop/NAME?at=K      announces the full length, closes after byte K of the file
//   /drop-no-length/NAME?at=K  like /drop, without Content-Length
//   /ignore-if-range/NAME  like /file, but a range is served whatever If-Range names
//   /drip/NAME?chunk=C&ms=T  like /file, C bytes every T milliseconds
//   /redirect/N/NAME     N redirects (302), then /file/NAME
//   /status/CODE         that status with a short body
//   /NAME                like /file/NAME, with any query ("/ajax.php?..." for an added "ajax.php")
// A file's replies carry a strong ETag and a Last-Modified date of its version; "v=K" in the
// query serves version K (ChangedVersion: the file as if changed on the server), and
// "validators=" chooses what is sent: "date" (only the date), "weak" (a weak ETag and the
// date) or "none". A Range with an If-Range that names neither validator of the version
// served gets the whole file (200), as HTTP asks.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zeva::test {

struct ServedRequest {
  std::string path;
  std::string target;   // path and query as sent
  std::string range;    // the Range header, empty when none
  std::string ifRange;  // the If-Range header, empty when none
  std::string userAgent;
};

class FaultServer {
 public:
  // TLS when both files are given (PEM).
  explicit FaultServer(const std::string& certFile = {}, const std::string& keyFile = {});
  ~FaultServer();
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  uint16_t Port() const { return m_port; }
  // "http://127.0.0.1:port" (https with TLS).
  std::string BaseUrl() const;
  void AddFile(const std::string& name, std::string bytes);
  std::vector<ServedRequest> Requests() const;

 private:
  struct Connection;
  void AcceptLoop();
  void Serve(int fd);
  std::optional<std::string> FileFor(const std::string& name);

  int m_listener = -1;
  uint16_t m_port = 0;
  void* m_tls = nullptr;  // SSL_CTX*
  std::atomic<bool> m_stopping{false};
  std::thread m_acceptThread;
  mutable std::mutex m_mutex;
  std::map<std::string, std::string> m_files;
  std::vector<ServedRequest> m_requests;
  std::vector<std::thread> m_workers;
  std::vector<int> m_openSockets;
};

// Makes a test authority and a server certificate for 127.0.0.1 and localhost with the
// openssl tool, into `folder`; false when openssl is missing or fails.
struct TestCertificates {
  std::string caFile, certFile, keyFile;
};
bool MakeTestCertificates(const std::string& folder, TestCertificates& out);

}  // namespace zeva::test
