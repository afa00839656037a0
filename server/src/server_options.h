// Command-line options of zeva-toolserver.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zeva::toolserver {

struct ServerOptions {
  std::string address = "127.0.0.1";
  int port = 8088;               // 0: any free port (printed on start)
  int accountPort = 80;          // -1: no account listener of its own
  int accountFallbackPort = -1;  // used when accountPort cannot be bound; -1: none
  std::filesystem::path siteFolder;
  std::filesystem::path dataFolder;
  std::string logFile;  // empty: standard output
  // Files below the data folder (add-ons, the updater, the installer) are sent at most this
  // fast, so progress can be watched and a transfer closed midway; 0: as fast as possible.
  std::uint64_t bytesPerSecond = 0;
  // The tool server over TLS (both or neither); the account endpoint stays plain HTTP, as
  // the client's login form asks it.
  std::string tlsCertificate;
  std::string tlsKey;
  // Threads that answer requests; a kept-alive connection holds none while it waits for its
  // next request (plain HTTP; the TLS listener keeps the library's own pool).
  int workers = 64;
  int keepAliveSeconds = 5;  // an idle kept-alive connection is closed after this
  bool help = false;
};

// Parses the arguments (without the program name) over `defaults`; on an error returns
// nothing and sets `error`.
std::optional<ServerOptions> ParseServerOptions(const std::vector<std::string>& arguments,
                                                ServerOptions defaults, std::string& error);

extern const char kServerUsage[];

}  // namespace zeva::toolserver
