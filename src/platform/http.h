// Asynchronous HTTP GET, as the download engine drives it: the owner starts one operation at
// a time, and its completion arrives later as an event on the HTTP layer's own threads. The
// owner starts the next operation from inside that event, so a request never has more than
// one operation outstanding. What to make of a reply is the owner's business, not the port's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeva {

// What a request tells its owner. Events of one request never overlap.
class IHttpEvents {
 public:
  virtual void OnSendComplete() = 0;
  // The final reply's status line and headers have arrived (redirects already followed).
  virtual void OnHeadersAvailable() = 0;
  // Bytes of the body ready to be read; 0 when the body is at its end.
  virtual void OnDataAvailable(uint64_t bytes) = 0;
  // A read finished with `bytes` in the caller's buffer; 0 when the body is at its end.
  virtual void OnReadComplete(size_t bytes) = 0;
  // The request failed: no connection, TLS refused, connection lost, too many redirects.
  virtual void OnRequestError() = 0;

 protected:
  ~IHttpEvents() = default;
};

class IHttpRequest {
 public:
  // Closes the request. After the destructor returns no event runs or will run; destroyed
  // from inside one of its own events, that event is its last.
  virtual ~IHttpRequest() = default;

  // Each of these starts one operation and returns at once; false when it could not be
  // started (no event follows then). ReceiveResponse, QueryDataAvailable and ReadData are
  // called from the event that completed the previous operation.
  virtual bool Send() = 0;
  virtual bool ReceiveResponse() = 0;
  virtual bool QueryDataAvailable() = 0;
  // Reads up to `size` bytes into `buffer`, which stays valid until OnReadComplete.
  virtual bool ReadData(void* buffer, size_t size) = 0;

  // The final reply, from OnHeadersAvailable on. Header values come as sent, trimmed.
  virtual std::optional<uint32_t> StatusCode() = 0;
  virtual std::optional<std::string> Header(std::string_view name) = 0;

  // Stops the request from a thread other than its events': waits for a running event to
  // return; no event runs afterwards. The object stays to be destroyed.
  virtual void Cancel() = 0;
};

// One session per transfer, as the engine opens them.
class IHttpSession {
 public:
  virtual ~IHttpSession() = default;
  // A GET for an address the core accepted (CheckDownloadAddress: http or https) with extra
  // header lines (no line ends). Redirects are followed, at most 10 and only to http and
  // https (their targets only the transport sees); a secure request verifies the server.
  // Nothing when the URL cannot be split or the request cannot be prepared.
  virtual std::unique_ptr<IHttpRequest> OpenRequest(std::u16string_view url,
                                                    const std::vector<std::string>& headerLines,
                                                    IHttpEvents& events) = 0;
};

class IHttpClient {
 public:
  // Outlives every session and request it made; waits for the HTTP layer's threads.
  virtual ~IHttpClient() = default;
  // Nothing when the HTTP layer cannot give a session.
  virtual std::unique_ptr<IHttpSession> OpenSession(std::u16string_view userAgent) = 0;
};

// The limits every transfer keeps, read by both transports so the ports give up alike.
struct HttpClientOptions {
  // A PEM file of the authorities to trust instead of the system's store (tests only; the
  // client uses the system's store). Ports that cannot take one ignore it.
  std::u16string caFile;
  int maxRedirects = 10;
  int connectTimeoutSeconds = 60;
  // A transfer that moves no byte for this long fails.
  int stallSeconds = 30;
};

// The port's HTTP layer.
std::unique_ptr<IHttpClient> CreateHttpClient(const HttpClientOptions& options = {});

}  // namespace zeva
