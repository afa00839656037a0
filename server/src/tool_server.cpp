#include "tool_server.h"

#include <ctime>
#include <fstream>
#include <iterator>
#include <string_view>

#include "access_log.h"
#include "account_desk.h"
#include "changelog.h"
#include "file_reply.h"
#include "reply_text.h"
#include "site_path.h"

namespace zeva::toolserver {
namespace fs = std::filesystem;

namespace {

constexpr char kServerName[] = "zeva-toolserver";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The library parses Range itself and would cut every reply again; our routes read the raw
// header and decide alone, so the parsed list is dropped. The request object is the library's
// own non-const local, handed to us as const.
void DropLibraryRanges(const httplib::Request& request) {
  const_cast<httplib::Request&>(request).ranges.clear();
}

bool HasToolId(const httplib::Request& request) {
  return request.get_param_value_count("ToolId") == 1 && request.get_param_value("ToolId") == "1";
}

void NoStore(httplib::Response& response) {
  response.set_header("Cache-Control", "no-store");
}

std::string ReadWholeFile(const fs::path& file, bool& ok) {
  std::ifstream in(file, std::ios::binary);
  ok = static_cast<bool>(in);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const char* StatusText(int status) {
  switch (status) {
    case 400:
      return "请求无效";
    case 403:
      return "禁止访问";
    case 404:
      return "未找到";
    case 405:
      return "不支持的请求方法";
    case 413:
      return "请求过大";
    case 414:
      return "地址过长";
    case 416:
      return "请求的范围无效";
    default:
      return "服务器错误";
  }
}

}  // namespace

ToolServer::ToolServer(fs::path siteFolder, fs::path dataFolder, std::ostream& log,
                       std::uint64_t bytesPerSecond)
    : m_siteFolder(std::move(siteFolder)),
      m_dataFolder(std::move(dataFolder)),
      m_bytesPerSecond(bytesPerSecond),
      m_catalogue(m_dataFolder),
      m_log(log) {}

void ToolServer::Install(httplib::Server& server) {
  server.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        Dispatch(request, response);
        return httplib::Server::HandlerResponse::Handled;
      });
  // Replies the library makes on its own (a request line it cannot read, a Range it cannot
  // parse, an over-long address) get our headers and a body; a Range the library refused
  // is judged again by our routes.
  httplib::Server::HandlerWithResponse onError = [this](const httplib::Request& request,
                                                        httplib::Response& response) {
    if (response.has_header("Server")) return httplib::Server::HandlerResponse::Unhandled;
    DropLibraryRanges(request);
    if (response.status == 416 && !request.method.empty()) {
      response.status = -1;
      Dispatch(request, response);
    } else {
      response.set_header("Server", kServerName);
      SetTextReply(response, response.status, StatusText(response.status));
    }
    return httplib::Server::HandlerResponse::Handled;
  };
  server.set_error_handler(std::move(onError));
  server.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
    WriteAccessLog(request, response);
  });
}

void ToolServer::Dispatch(const httplib::Request& request, httplib::Response& response) {
  DropLibraryRanges(request);
  response.set_header("Server", kServerName);
  if (request.method != "GET" && request.method != "HEAD") {
    response.set_header("Allow", "GET, HEAD");
    SetTextReply(response, 405, StatusText(405));
    return;
  }
  const std::string& path = request.path;
  if (path == "/CF30/CF_Index.aspx") return ServePortal(request, response);
  if (path == "/manager/update/ToolWeb_Update_List.aspx") return ServeUpdateList(request, response);
  if (path == "/manager/update/latest.json") return ServeLatestVersion(response);
  if (path == "/ajax.php") return ServeLogin(request, response);
  if (path == "/addons/catalogue.json") {
    NoStore(response);
    response.status = 200;
    response.set_content(m_catalogue.Json(), "application/json; charset=utf-8");
    return;
  }
  if (path == "/") {
    response.set_redirect("/CF30/CF_Index.aspx?ToolId=1&SetUp=&ClientVersion=");
    return;
  }
  if (StartsWith(path, "/addons/") || StartsWith(path, "/CFToolWeb/") ||
      StartsWith(path, "/xljiasu/")) {
    return ServeFileBelow(m_dataFolder, request, response);
  }
  ServeFileBelow(m_siteFolder, request, response);
}

void ToolServer::ServePortal(const httplib::Request& request, httplib::Response& response) {
  if (!HasToolId(request)) return SetTextReply(response, 400, StatusText(400));
  // The page reads SetUp, ClientVersion, UID and UWD from its own address.
  NoStore(response);
  fs::path page = m_siteFolder / "CF30" / "index.html";
  ReplyWithFile(request, response, page, "text/html; charset=utf-8");
}

void ToolServer::ServeUpdateList(const httplib::Request& request, httplib::Response& response) {
  if (!HasToolId(request)) return SetTextReply(response, 400, StatusText(400));
  bool ok = false;
  std::string pageTemplate =
      ReadWholeFile(m_siteFolder / "manager" / "update" / "update_list.html", ok);
  if (!ok) return SetTextReply(response, 500, StatusText(500));
  NoStore(response);
  response.status = 200;
  response.set_content(
      RenderUpdateList(pageTemplate, ReadChangelog(m_dataFolder / "changelog.txt")),
      "text/html; charset=utf-8");
}

void ToolServer::ServeLatestVersion(httplib::Response& response) {
  std::vector<Release> releases = ReadChangelog(m_dataFolder / "changelog.txt");
  const Release* latest = LatestRelease(releases);
  NoStore(response);
  response.status = 200;
  response.set_content("{\"version\":" + JsonString(latest ? latest->version : "") +
                           ",\"date\":" + JsonString(latest ? latest->date : "") + "}\n",
                       "application/json; charset=utf-8");
}

void ToolServer::ServeLogin(const httplib::Request& request, httplib::Response& response) {
  bool single = request.get_param_value_count("action") == 1 &&
                request.get_param_value_count("appid") == 1 &&
                request.get_param_value_count("rcode") <= 1;
  LoginAnswer answer =
      single ? AnswerLogin(ReadAccounts(m_dataFolder / "accounts.txt"),
                           request.get_param_value("action"), request.get_param_value("appid"),
                           request.get_param_value("rcode"), request.has_param("rcode"))
             : LoginAnswer{400, "0|请求无效"};
  // Pages of any origin may ask; the client reads the reply in code page 936.
  response.set_header("Access-Control-Allow-Origin", "*");
  NoStore(response);
  response.status = answer.status;
  response.set_content(Utf8ToGbk(answer.text), "text/plain; charset=GBK");
}

void ToolServer::ServeFileBelow(const fs::path& root, const httplib::Request& request,
                                httplib::Response& response) {
  SitePath found = ResolveSitePath(root, request.path);
  switch (found.verdict) {
    case SitePath::Verdict::kBad:
      return SetTextReply(response, 400, StatusText(400));
    case SitePath::Verdict::kRefused:
      return SetTextReply(response, 403, StatusText(403));
    case SitePath::Verdict::kNotFound:
      return SetTextReply(response, 404, StatusText(404));
    case SitePath::Verdict::kFile:
      break;
  }
  if (StartsWith(request.path, "/CF30/") || StartsWith(request.path, "/manager/"))
    response.set_header("Cache-Control", "no-cache");
  ReplyWithFile(request, response, found.file, ContentTypeFor(found.file.filename().string()),
                root == m_dataFolder ? m_bytesPerSecond : 0);
}

void ToolServer::WriteAccessLog(const httplib::Request& request,
                                const httplib::Response& response) {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char date[40];
  std::strftime(date, sizeof date, "%d/%b/%Y:%H:%M:%S +0000", &parts);
  std::string length = response.get_header_value("Content-Length");
  if (length.empty()) length = "-";
  const std::string target = LoggedTarget(request.target.empty() ? request.path : request.target);
  std::lock_guard<std::mutex> lock(m_logMutex);
  m_log << (request.remote_addr.empty() ? "-" : request.remote_addr) << " - - [" << date << "] \""
        << request.method << ' ' << target << ' ' << request.version << "\" " << response.status
        << ' ' << length << '\n'
        << std::flush;
}

}  // namespace zeva::toolserver
