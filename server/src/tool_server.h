// The tool server's routes: portal page, update list, updater and installer downloads,
// add-on archives and catalogue, the account endpoint, and the site's static files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

#include <httplib.h>

#include "addon_catalogue.h"

namespace zeva::toolserver {

class ToolServer {
 public:
  // `log` receives one access log line per request; it must outlive the server.
  // Files below the data folder go out at most `bytesPerSecond` fast (0: no limit).
  ToolServer(std::filesystem::path siteFolder, std::filesystem::path dataFolder, std::ostream& log,
             std::uint64_t bytesPerSecond = 0);

  // Routes every request of `server` here. Several listeners may share one ToolServer.
  void Install(httplib::Server& server);

  // Answers one request (also reachable without a socket, for tests).
  void Dispatch(const httplib::Request& request, httplib::Response& response);

 private:
  void ServePortal(const httplib::Request& request, httplib::Response& response);
  void ServeUpdateList(const httplib::Request& request, httplib::Response& response);
  void ServeLatestVersion(httplib::Response& response);
  void ServeLogin(const httplib::Request& request, httplib::Response& response);
  void ServeFileBelow(const std::filesystem::path& root, const httplib::Request& request,
                      httplib::Response& response);
  void WriteAccessLog(const httplib::Request& request, const httplib::Response& response);

  std::filesystem::path m_siteFolder;
  std::filesystem::path m_dataFolder;
  std::uint64_t m_bytesPerSecond;
  AddonCatalogue m_catalogue;
  std::ostream& m_log;
  std::mutex m_logMutex;
};

}  // namespace zeva::toolserver
