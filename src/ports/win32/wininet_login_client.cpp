#include "ports/win32/wininet_login_client.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>

#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

struct HandleCloser {
  void operator()(HINTERNET handle) const { ::InternetCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// The request's context: whether a connection to the server stood.
struct Progress {
  bool connected = false;
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  if (status == INTERNET_STATUS_CONNECTED_TO_SERVER && context) {
    reinterpret_cast<Progress*>(context)->connected = true;
  }
}

LoginFailure FailureOf(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return LoginFailure::kHostNotFound;
    case ERROR_INTERNET_CANNOT_CONNECT:
      return LoginFailure::kCannotConnect;
    case ERROR_INTERNET_TIMEOUT:
      return LoginFailure::kTimedOut;
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
      return LoginFailure::kConnectionLost;
    default:
      return LoginFailure::kOther;
  }
}

// The system's own words for an internet error (WinINet keeps them in its module).
std::u16string SystemText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      ::GetModuleHandleW(L"wininet.dll"), error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words(text ? text : L"", length);
  if (text) ::LocalFree(text);
  while (!words.empty() &&
         (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' ')) {
    words.pop_back();
  }
  return FromWide(words);
}

LoginReply Failed(const Progress& progress) {
  const DWORD error = ::GetLastError();
  LoginReply reply;
  reply.failure = FailureOf(error);
  reply.connected = progress.connected;
  reply.systemText = SystemText(error);
  return reply;
}

void SetNumber(HINTERNET handle, DWORD option, DWORD value) {
  ::InternetSetOptionW(handle, option, &value, sizeof value);
}

}  // namespace

LoginReply WinInetLoginClient::Send(const LoginRequest& request) {
  Progress progress;
  const Handle session(::InternetOpenW(Wide(request.userAgent).c_str(),
                                       INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return Failed(progress);
  // One attempt here: the caller decides about another.
  SetNumber(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, request.connectTimeoutMs);
  SetNumber(session.get(), INTERNET_OPTION_CONNECT_RETRIES, 1);
  SetNumber(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, request.receiveTimeoutMs);
  SetNumber(session.get(), INTERNET_OPTION_SEND_TIMEOUT, request.receiveTimeoutMs);
  ::InternetSetStatusCallbackW(session.get(), &OnStatus);

  const auto context = reinterpret_cast<DWORD_PTR>(&progress);
  const Handle connection(::InternetConnectW(session.get(), Wide(request.host).c_str(),
                                             static_cast<INTERNET_PORT>(request.port), nullptr,
                                             nullptr, INTERNET_SERVICE_HTTP, 0, context));
  if (!connection) return Failed(progress);
  const Handle call(::HttpOpenRequestW(connection.get(), L"GET", Wide(request.object).c_str(),
                                       nullptr, nullptr, nullptr, INTERNET_FLAG_EXISTING_CONNECT,
                                       context));
  if (!call) return Failed(progress);
  if (!request.header.empty()) {
    const std::wstring header(request.header.begin(), request.header.end());  // ASCII
    ::HttpAddRequestHeadersW(call.get(), header.c_str(), static_cast<DWORD>(header.size()),
                             HTTP_ADDREQ_FLAG_ADD_IF_NEW);
  }
  if (!::HttpSendRequestW(call.get(), nullptr, 0, nullptr, 0)) return Failed(progress);

  DWORD status = 0, size = sizeof status;
  if (!::HttpQueryInfoW(call.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr)) {
    return Failed(progress);
  }
  LoginReply reply;
  reply.connected = true;
  reply.status = status;
  char buffer[2000];
  while (reply.body.size() < request.maxBodyBytes) {
    DWORD read = 0;
    if (!::InternetReadFile(call.get(), buffer, sizeof buffer - 1, &read)) return Failed(progress);
    if (read == 0) break;
    reply.body.append(buffer, read);
  }
  if (reply.body.size() > request.maxBodyBytes) reply.body.resize(request.maxBodyBytes);
  return reply;
}

}  // namespace zeva::win32
