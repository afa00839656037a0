#include "server_options.h"

#include <charconv>

namespace zeva::toolserver {
namespace {

bool ParseCount(const std::string& text, int low, int high, int& count) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return false;
  count = value;
  return true;
}

bool ParsePort(const std::string& text, int& port, bool allowOff) {
  if (allowOff && text == "off") {
    port = -1;
    return true;
  }
  return ParseCount(text, 0, 65535, port);
}

}  // namespace

const char kServerUsage[] =
    "usage: zeva-toolserver [options]\n"
    "  --address ADDR         listen address (default 127.0.0.1)\n"
    "  --port N               tool server port (default 8088; 0 picks a free port)\n"
    "  --account-port N|off   account endpoint port (default 80)\n"
    "  --account-fallback-port N  account port used when the first cannot be bound\n"
    "  --site DIR             folder of the portal pages\n"
    "  --data DIR             folder of the changelog, accounts, add-ons and downloads\n"
    "  --log FILE             access log file (default: standard output)\n"
    "  --rate BYTES           send downloads at most this many bytes a second (default: no "
    "limit)\n"
    "  --tls-cert FILE        serve the tool server over TLS with this certificate (PEM, the\n"
    "                         chain after the server's own); needs --tls-key\n"
    "  --tls-key FILE         the certificate's private key (PEM)\n"
    "  --workers N            threads answering requests (default 64; 1-4096)\n"
    "  --keep-alive SECONDS   close a kept-alive connection idle this long (default 5; 0-3600)\n";

std::optional<ServerOptions> ParseServerOptions(const std::vector<std::string>& arguments,
                                                ServerOptions defaults, std::string& error) {
  ServerOptions options = std::move(defaults);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--help" || name == "-h") {
      options.help = true;
      return options;
    }
    if (i + 1 >= arguments.size()) {
      error = "missing value for " + name;
      return std::nullopt;
    }
    const std::string& value = arguments[++i];
    if (name == "--address") {
      options.address = value;
    } else if (name == "--port") {
      if (!ParsePort(value, options.port, false)) {
        error = "bad port: " + value;
        return std::nullopt;
      }
    } else if (name == "--account-port") {
      if (!ParsePort(value, options.accountPort, true)) {
        error = "bad account port: " + value;
        return std::nullopt;
      }
    } else if (name == "--account-fallback-port") {
      if (!ParsePort(value, options.accountFallbackPort, false)) {
        error = "bad account fallback port: " + value;
        return std::nullopt;
      }
    } else if (name == "--site") {
      options.siteFolder = value;
    } else if (name == "--data") {
      options.dataFolder = value;
    } else if (name == "--log") {
      options.logFile = value;
    } else if (name == "--rate") {
      auto [end, failure] =
          std::from_chars(value.data(), value.data() + value.size(), options.bytesPerSecond);
      if (failure != std::errc() || end != value.data() + value.size()) {
        error = "bad rate: " + value;
        return std::nullopt;
      }
    } else if (name == "--tls-cert") {
      options.tlsCertificate = value;
    } else if (name == "--tls-key") {
      options.tlsKey = value;
    } else if (name == "--workers") {
      if (!ParseCount(value, 1, 4096, options.workers)) {
        error = "bad worker count: " + value;
        return std::nullopt;
      }
    } else if (name == "--keep-alive") {
      if (!ParseCount(value, 0, 3600, options.keepAliveSeconds)) {
        error = "bad keep-alive time: " + value;
        return std::nullopt;
      }
    } else {
      error = "unknown option: " + name;
      return std::nullopt;
    }
  }
  if (options.tlsCertificate.empty() != options.tlsKey.empty()) {
    error = "TLS needs both --tls-cert and --tls-key";
    return std::nullopt;
  }
  if (options.siteFolder.empty() || options.dataFolder.empty()) {
    error = "the site and data folders are needed (--site DIR --data DIR)";
    return std::nullopt;
  }
  return options;
}

}  // namespace zeva::toolserver
