// A short synchronous GET as the native login form sends it: one attempt, bounded by its
// time-outs, the status and the body handed back as they came. The caller decides what to
// retry and what to show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zeva {

struct LoginRequest {
  std::u16string host;
  uint16_t port = 80;
  // Path and query, already percent-encoded; sent as given.
  std::u16string object;
  std::u16string userAgent;
  // One header line ("Name:value"), added only when the request has no header of that name.
  std::string header;
  int connectTimeoutMs = 20000;
  // Once the connection stands, a reply that moves no byte for this long fails.
  int receiveTimeoutMs = 20000;
  // The body is read up to this many bytes; the rest is left unread.
  size_t maxBodyBytes = 64 * 1024;
};

// Why no reply came.
enum class LoginFailure {
  kNone,
  kHostNotFound,    // the name did not resolve
  kCannotConnect,   // refused, unreachable
  kTimedOut,        // connecting or waiting for the reply took too long
  kConnectionLost,  // the connection closed before the reply was complete
  kOther,
};

struct LoginReply {
  LoginFailure failure = LoginFailure::kNone;
  // Whether a connection to the server stood (a failure before it may be worth another try).
  bool connected = false;
  // The system's own text for the failure when it has one (empty: none).
  std::u16string systemText;
  // Set when a reply came: its status and its body's bytes.
  std::optional<uint32_t> status;
  std::string body;
};

class ILoginClient {
 public:
  virtual ~ILoginClient() = default;
  // Blocks until the reply has been read or the attempt has failed.
  virtual LoginReply Send(const LoginRequest& request) = 0;
};

}  // namespace zeva
