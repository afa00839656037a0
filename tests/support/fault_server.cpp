#include "support/fault_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <utility>

#include "support/test_blob.h"

namespace zeva::test {
namespace {

// One accepted connection, plain or TLS.
class Stream {
 public:
  Stream(int fd, SSL* ssl) : m_fd(fd), m_ssl(ssl) {}
  ~Stream() {
    if (m_ssl) {
      SSL_shutdown(m_ssl);
      SSL_free(m_ssl);
    }
  }
  long Read(char* buffer, size_t size) {
    if (m_ssl) return SSL_read(m_ssl, buffer, static_cast<int>(size));
    return ::recv(m_fd, buffer, size, 0);
  }
  bool Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const long sent = m_ssl ? SSL_write(m_ssl, bytes.data(), static_cast<int>(bytes.size()))
                              : ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
  }

 private:
  int m_fd;
  SSL* m_ssl;
};

std::string Query(const std::string& target, const std::string& key) {
  const size_t q = target.find('?');
  if (q == std::string::npos) return {};
  // Whole keys only: "v" is not the end of "nv".
  for (size_t at = q; at != std::string::npos; at = target.find('&', at + 1)) {
    if (target.compare(at + 1, key.size() + 1, key + "=") == 0) {
      const size_t value = at + key.size() + 2;
      return target.substr(value, target.find('&', value) - value);
    }
  }
  return {};
}

std::string HeaderValue(const std::string& head, const std::string& name) {
  size_t at = 0;
  while ((at = head.find("\r\n", at)) != std::string::npos) {
    at += 2;
    if (head.size() - at > name.size() &&
        strncasecmp(head.c_str() + at, name.c_str(), name.size()) == 0 &&
        head[at + name.size()] == ':') {
      size_t start = at + name.size() + 1;
      while (start < head.size() && head[start] == ' ') ++start;
      return head.substr(start, head.find("\r\n", start) - start);
    }
  }
  return {};
}

// The first byte of an open-ended "bytes=N-" range; nothing for none or another form.
std::optional<uint64_t> RangeStart(const std::string& range) {
  if (range.rfind("bytes=", 0) != 0 || range.empty() || range.back() != '-') return std::nullopt;
  try {
    return std::stoull(range.substr(6, range.size() - 7));
  } catch (...) {
    return std::nullopt;
  }
}

std::string StatusLine(int code) {
  const char* text = code == 200   ? "OK"
                     : code == 206 ? "Partial Content"
                     : code == 302 ? "Found"
                     : code == 404 ? "Not Found"
                     : code == 416 ? "Range Not Satisfiable"
                                   : "Status";
  return "HTTP/1.1 " + std::to_string(code) + " " + text + "\r\n";
}

}  // namespace

FaultServer::FaultServer(const std::string& certFile, const std::string& keyFile) {
  if (!certFile.empty()) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context && SSL_CTX_use_certificate_chain_file(context, certFile.c_str()) == 1 &&
        SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) == 1) {
      m_tls = context;
    } else if (context) {
      SSL_CTX_free(context);
    }
  }
  m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(m_listener, 64);
  socklen_t length = sizeof address;
  ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
  m_port = ntohs(address.sin_port);
  m_acceptThread = std::thread([this] { AcceptLoop(); });
}

FaultServer::~FaultServer() {
  m_stopping = true;
  ::shutdown(m_listener, SHUT_RDWR);
  m_acceptThread.join();
  ::close(m_listener);
  std::vector<std::thread> workers;
  {
    const std::lock_guard lock(m_mutex);
    for (int fd : m_openSockets) ::shutdown(fd, SHUT_RDWR);
    workers.swap(m_workers);
  }
  for (std::thread& worker : workers) worker.join();
  if (m_tls) SSL_CTX_free(static_cast<SSL_CTX*>(m_tls));
}

std::string FaultServer::BaseUrl() const {
  return std::string(m_tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port);
}

void FaultServer::AddFile(const std::string& name, std::string bytes) {
  const std::lock_guard lock(m_mutex);
  m_files[name] = std::move(bytes);
}

std::vector<ServedRequest> FaultServer::Requests() const {
  const std::lock_guard lock(m_mutex);
  return m_requests;
}

std::optional<std::string> FaultServer::FileFor(const std::string& name) {
  const std::lock_guard lock(m_mutex);
  if (const auto it = m_files.find(name); it != m_files.end()) return it->second;
  std::optional<std::string> blob = BlobForName(name);
  if (blob) m_files[name] = *blob;
  return blob;
}

void FaultServer::AcceptLoop() {
  while (!m_stopping) {
    const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (m_stopping) return;
      continue;
    }
    const std::lock_guard lock(m_mutex);
    m_openSockets.push_back(fd);
    m_workers.emplace_back([this, fd] { Serve(fd); });
  }
}

void FaultServer::Serve(int fd) {
  SSL* ssl = nullptr;
  if (m_tls) {
    ssl = SSL_new(static_cast<SSL_CTX*>(m_tls));
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) != 1) {
      SSL_free(ssl);
      ssl = nullptr;
    }
  }
  auto closeSocket = [&] {
    const std::lock_guard lock(m_mutex);
    m_openSockets.erase(std::remove(m_openSockets.begin(), m_openSockets.end(), fd),
                        m_openSockets.end());
    ::close(fd);
  };
  if (m_tls && !ssl) return closeSocket();
  {
    Stream stream(fd, ssl);
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
      const long got = stream.Read(buffer, sizeof buffer);
      if (got <= 0) break;
      head.append(buffer, static_cast<size_t>(got));
    }
    const size_t space = head.find(' ');
    const size_t space2 = head.find(' ', space + 1);
    if (space != std::string::npos && space2 != std::string::npos) {
      const std::string target = head.substr(space + 1, space2 - space - 1);
      const std::string path = target.substr(0, target.find('?'));
      const std::string range = HeaderValue(head, "Range");
      const std::string ifRange = HeaderValue(head, "If-Range");
      {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back({path, target, range, ifRange, HeaderValue(head, "User-Agent")});
      }
      auto reply = [&](int code, const std::string& headers, std::string_view body) {
        stream.Write(StatusLine(code) + headers + "Connection: close\r\n\r\n");
        stream.Write(body);
      };
      auto withLength = [](std::string_view body) {
        return "Content-Length: " + std::to_string(body.size()) + "\r\n";
      };

      const size_t slash = path.find('/', 1);
      std::string mode = path.substr(1, slash == std::string::npos ? slash : slash - 1);
      std::string rest = slash == std::string::npos ? "" : path.substr(slash + 1);
      if (slash == std::string::npos) rest = std::exchange(mode, "file");
      if (mode == "redirect") {
        const size_t cut = rest.find('/');
        const int hops = std::atoi(rest.substr(0, cut).c_str());
        const std::string name = cut == std::string::npos ? "" : rest.substr(cut + 1);
        const std::string next =
            hops > 1 ? "/redirect/" + std::to_string(hops - 1) + "/" + name : "/file/" + name;
        reply(302, "Location: " + next + "\r\n" + withLength("moved"), "moved");
      } else if (mode == "status") {
        const std::string body = "status " + rest;
        reply(std::atoi(rest.c_str()), withLength(body), body);
      } else if (std::optional<std::string> file = FileFor(rest); !file) {
        reply(404, withLength("not found"), "not found");
      } else {
        const auto version = static_cast<uint32_t>(std::atoi(Query(target, "v").c_str()));
        file = ChangedVersion(std::move(*file), version);
        const std::string validators = Query(target, "validators");
        const std::string etag = "\"" + rest + "-v" + std::to_string(version) + "\"";
        const std::string date = "Mon, 01 Jan 2024 " + std::string(version % 24 < 10 ? "0" : "") +
                                 std::to_string(version % 24) + ":00:00 GMT";
        std::string validatorHeaders;
        if (validators.empty()) validatorHeaders = "ETag: " + etag + "\r\n";
        if (validators == "weak") validatorHeaders = "ETag: W/" + etag + "\r\n";
        if (validators != "none") validatorHeaders += "Last-Modified: " + date + "\r\n";
        // If-Range compares strongly: a weak tag never matches.
        const bool rangeStands = ifRange.empty() || mode == "ignore-if-range" ||
                                 (validators.empty() && ifRange == etag) ||
                                 (validators != "none" && ifRange == date);
        const uint64_t size = file->size();
        const std::optional<uint64_t> asked =
            rangeStands ? RangeStart(range) : std::optional<uint64_t>();
        if (mode == "always-416") {
          reply(416,
                "Content-Range: bytes */" + std::to_string(size + 7) + "\r\n" +
                    withLength("no range"),
                "no range");
        } else if (asked && *asked >= size && mode != "ignore-range") {
          reply(416,
                "Content-Range: bytes */" + std::to_string(size) + "\r\n" + withLength("no range"),
                "no range");
        } else {
          uint64_t from = mode == "ignore-range" ? 0 : asked.value_or(0);
          int code = asked && mode != "ignore-range" ? 206 : 200;
          if (mode == "wrong-range" && asked) from = std::min(*asked + 1, size - 1);
          std::string headers = validatorHeaders;
          if (code == 206) {
            headers += "Content-Range: bytes " + std::to_string(from) + "-" +
                       std::to_string(size - 1) + "/" + std::to_string(size) + "\r\n";
          }
          if (mode != "no-length" && mode != "drop-no-length") {
            headers += "Content-Length: " + std::to_string(size - from) + "\r\n";
          }
          stream.Write(StatusLine(code) + headers + "Connection: close\r\n\r\n");
          std::string_view body = std::string_view(*file).substr(from);
          if (mode == "drop" || mode == "drop-no-length") {
            const uint64_t at = std::stoull("0" + Query(target, "at"));
            body = body.substr(0, at > from ? at - from : 0);
            stream.Write(body);
          } else if (mode == "drip") {
            const size_t chunk = std::max<size_t>(1, std::stoul("0" + Query(target, "chunk")));
            const int ms = std::atoi(Query(target, "ms").c_str());
            while (!body.empty() && !m_stopping) {
              if (!stream.Write(body.substr(0, chunk))) break;
              body.remove_prefix(std::min(chunk, body.size()));
              std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            }
          } else {
            stream.Write(body);
          }
        }
      }
    }
  }
  closeSocket();
}

bool MakeTestCertificates(const std::string& folder, TestCertificates& out) {
  out.caFile = folder + "/ca.pem";
  out.certFile = folder + "/server.pem";
  out.keyFile = folder + "/server.key";
  const std::string f = "'" + folder + "'";
  const std::string script =
      "cd " + f +
      " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 "
      "-subj '/CN=ZEVA Test CA' >/dev/null 2>&1"
      " && openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr "
      "-subj '/CN=127.0.0.1' >/dev/null 2>&1"
      " && printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > ext.cnf"
      " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
      "-out server.pem -days 2 -extfile ext.cnf >/dev/null 2>&1";
  return std::system(script.c_str()) == 0;
}

}  // namespace zeva::test
