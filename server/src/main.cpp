// zeva-toolserver: the reference tool server the client talks to out of the box.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "pooled_server.h"
#include "server_options.h"
#include "tool_server.h"

namespace {

using zeva::toolserver::ServerOptions;

struct Listener {
  std::unique_ptr<httplib::Server> server;
  int port = 0;
  std::thread thread;
};

// Each request is one trip through the workers' queue, so a connection may stay for many;
// the library's default of 5 only served to hand its one worker on.
constexpr std::size_t kRequestsPerConnection = 1000;
constexpr int kBacklog = 1024;

std::unique_ptr<httplib::Server> PlainServer(const ServerOptions& options, int workers) {
  auto server = std::make_unique<zeva::toolserver::PooledServer>(static_cast<std::size_t>(workers));
  server->set_keep_alive_timeout(options.keepAliveSeconds);
  server->set_keep_alive_max_count(kRequestsPerConnection);
  return server;
}

// Binds `port` (0: any free port); the bound port, or -1.
int Bind(httplib::Server& server, const std::string& address, int port) {
  const int bound = port == 0 ? server.bind_to_any_port(address)
                              : (server.bind_to_port(address, port) ? port : -1);
  if (auto* pooled = dynamic_cast<zeva::toolserver::PooledServer*>(&server); pooled && bound > 0)
    pooled->WidenBacklog(kBacklog);
  return bound;
}

// Every connection is a descriptor; the soft limit is often 1,024 while the hard one allows more.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ServerOptions defaults;
#ifdef ZEVA_TOOLSERVER_DEFAULT_SITE
  defaults.siteFolder = ZEVA_TOOLSERVER_DEFAULT_SITE;
#endif
#ifdef ZEVA_TOOLSERVER_DEFAULT_DATA
  defaults.dataFolder = ZEVA_TOOLSERVER_DEFAULT_DATA;
#endif
  std::string error;
  std::optional<ServerOptions> options = zeva::toolserver::ParseServerOptions(
      std::vector<std::string>(argv + 1, argv + argc), defaults, error);
  if (!options) {
    std::cerr << "zeva-toolserver: " << error << "\n" << zeva::toolserver::kServerUsage;
    return 2;
  }
  if (options->help) {
    std::cout << zeva::toolserver::kServerUsage;
    return 0;
  }
  std::error_code ignored;
  for (const auto& folder : {options->siteFolder, options->dataFolder}) {
    if (!std::filesystem::is_directory(folder, ignored)) {
      std::cerr << "zeva-toolserver: no such folder: " << folder.string() << "\n";
      return 2;
    }
  }

  std::ofstream logFile;
  if (!options->logFile.empty()) {
    logFile.open(options->logFile, std::ios::app);
    if (!logFile) {
      std::cerr << "zeva-toolserver: cannot open log " << options->logFile << "\n";
      return 2;
    }
  }
  std::ostream& log = options->logFile.empty() ? std::cout : logFile;

  // Every thread inherits this mask; the main thread alone takes the stop signals.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  RaiseDescriptorLimit();

  zeva::toolserver::ToolServer tool(options->siteFolder, options->dataFolder, log,
                                    options->bytesPerSecond);
  std::vector<Listener> listeners(1);
  const bool tls = !options->tlsCertificate.empty();
  if (tls) {
    listeners[0].server = std::make_unique<httplib::SSLServer>(options->tlsCertificate.c_str(),
                                                               options->tlsKey.c_str());
    if (!listeners[0].server->is_valid()) {
      std::cerr << "zeva-toolserver: cannot use the certificate " << options->tlsCertificate
                << " with the key " << options->tlsKey << "\n";
      return 2;
    }
  } else {
    listeners[0].server = PlainServer(*options, options->workers);
  }
  tool.Install(*listeners[0].server);
  listeners[0].port = Bind(*listeners[0].server, options->address, options->port);
  if (listeners[0].port < 0) {
    std::cerr << "zeva-toolserver: cannot listen on " << options->address << ":" << options->port
              << "\n";
    return 1;
  }
  std::cout << "zeva-toolserver: tool server on " << (tls ? "https://" : "http://")
            << options->address << ":" << listeners[0].port << "/\n";

  // The account endpoint answers on every listener; its own port is the one the client's
  // native login form is built to use.
  for (int port : {options->accountPort, options->accountFallbackPort}) {
    if (port < 0 || port == listeners[0].port) continue;
    Listener account;
    account.server = PlainServer(*options, std::min(options->workers, 8));
    tool.Install(*account.server);
    account.port = Bind(*account.server, options->address, port);
    if (account.port >= 0) {
      std::cout << "zeva-toolserver: account endpoint on http://" << options->address << ":"
                << account.port << "/ajax.php\n";
      listeners.push_back(std::move(account));
      break;
    }
    std::cerr << "zeva-toolserver: account port " << port << " not available\n";
  }
  std::cout << std::flush;

  for (Listener& listener : listeners) {
    httplib::Server* server = listener.server.get();
    listener.thread = std::thread([server] {
      if (!server->listen_after_bind()) kill(getpid(), SIGTERM);
    });
  }

  int received = 0;
  sigwait(&stopSignals, &received);
  for (Listener& listener : listeners) listener.server->stop();
  for (Listener& listener : listeners) listener.thread.join();
  std::cout << "zeva-toolserver: stopped\n" << std::flush;
  return 0;
}
