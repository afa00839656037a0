// WinHTTP in asynchronous mode: a session per transfer, the handler registered on the
// request for completions and redirects, one operation outstanding. WinHTTP runs the
// handler on its own threads, and may run it inside the call that started an operation.
#include "ports/win32/winhttp_client.h"

#include <windows.h>
#include <winhttp.h>

#include <condition_variable>
#include <mutex>

#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

// WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_REDIRECT.
constexpr DWORD kNotifications = 0x7E4000;

// What the handler reaches through its context value. It can outlive the request object:
// a request closed from inside its own handler leaves the state to the outermost handler
// frame to free.
struct RequestState {
  explicit RequestState(IHttpEvents& owner) : events(owner) {}
  IHttpEvents& events;
  std::mutex mutex;
  std::condition_variable idle;
  bool closed = false;
  bool orphaned = false;  // the request object is gone; free when the last frame leaves
  int depth = 0;          // handler frames running (nested when WinHTTP completes inline)
  DWORD eventThread = 0;
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
  // Handle-created notifications arrive inside WinHttpConnect / WinHttpOpenRequest, before
  // the context is set: there is nothing to do for them.
  if (context == 0) return;
  auto* state = reinterpret_cast<RequestState*>(context);
  {
    const std::lock_guard lock(state->mutex);
    if (state->closed) return;
    ++state->depth;
    state->eventThread = ::GetCurrentThreadId();
  }
  IHttpEvents& events = state->events;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
      events.OnSendComplete();
      break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      events.OnHeadersAvailable();
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      events.OnDataAvailable(info ? *static_cast<DWORD*>(info) : 0);
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      events.OnReadComplete(length);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      events.OnRequestError();
      break;
    default:  // redirects are followed by WinHTTP; write completions do not concern a GET
      break;
  }
  bool free = false;
  {
    const std::lock_guard lock(state->mutex);
    free = --state->depth == 0 && state->orphaned;
    state->idle.notify_all();
  }
  if (free) delete state;
}

class WinHttpRequest final : public IHttpRequest {
 public:
  WinHttpRequest(HINTERNET connect, HINTERNET request, std::wstring headers, IHttpEvents& events)
      : m_connect(connect),
        m_request(request),
        m_headers(std::move(headers)),
        m_state(new RequestState(events)) {}

  ~WinHttpRequest() override {
    Close();
    bool free = false;
    {
      const std::lock_guard lock(m_state->mutex);
      m_state->orphaned = true;
      free = m_state->depth == 0;
    }
    if (free) delete m_state;
  }

  bool Send() override {
    return ::WinHttpSendRequest(
               m_request, m_headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : m_headers.c_str(),
               static_cast<DWORD>(m_headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0,
               reinterpret_cast<DWORD_PTR>(m_state)) != FALSE;
  }
  bool ReceiveResponse() override { return ::WinHttpReceiveResponse(m_request, nullptr) != FALSE; }
  bool QueryDataAvailable() override {
    return ::WinHttpQueryDataAvailable(m_request, nullptr) != FALSE;
  }
  bool ReadData(void* buffer, size_t size) override {
    return ::WinHttpReadData(m_request, buffer, static_cast<DWORD>(size), nullptr) != FALSE;
  }

  std::optional<uint32_t> StatusCode() override {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::WinHttpQueryHeaders(m_request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                               WINHTTP_NO_HEADER_INDEX)) {
      return std::nullopt;
    }
    return status;
  }
  std::optional<std::string> Header(std::string_view name) override {
    const std::wstring wideName(name.begin(), name.end());
    DWORD size = 0;
    ::WinHttpQueryHeaders(m_request, WINHTTP_QUERY_CUSTOM, wideName.c_str(),
                          WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::nullopt;
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (!::WinHttpQueryHeaders(m_request, WINHTTP_QUERY_CUSTOM, wideName.c_str(), value.data(),
                               &size, WINHTTP_NO_HEADER_INDEX)) {
      return std::nullopt;
    }
    value.resize(size / sizeof(wchar_t));
    // Header values the engine reads are ASCII; anything else is not a number it accepts.
    std::string text;
    for (wchar_t c : value) text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
  }

  void Cancel() override { Close(); }

 private:
  void Close() {
    {
      std::unique_lock lock(m_state->mutex);
      m_state->closed = true;
      if (m_state->depth > 0 && m_state->eventThread != ::GetCurrentThreadId()) {
        m_state->idle.wait(lock, [this] { return m_state->depth == 0; });
      }
    }
    // The handler goes before the handle, so no notification of the closing arrives.
    if (m_request) {
      ::WinHttpSetStatusCallback(m_request, nullptr, 0, 0);
      ::WinHttpCloseHandle(m_request);
      m_request = nullptr;
    }
    if (m_connect) {
      ::WinHttpCloseHandle(m_connect);
      m_connect = nullptr;
    }
  }

  HINTERNET m_connect;
  HINTERNET m_request;
  std::wstring m_headers;
  RequestState* m_state;
};

class WinHttpSession final : public IHttpSession {
 public:
  WinHttpSession(HINTERNET session, int maxRedirects)
      : m_session(session), m_maxRedirects(maxRedirects) {}
  ~WinHttpSession() override { ::WinHttpCloseHandle(m_session); }

  std::unique_ptr<IHttpRequest> OpenRequest(std::u16string_view url,
                                            const std::vector<std::string>& headerLines,
                                            IHttpEvents& events) override {
    const std::wstring address = Wide(url);
    // Lengths of -1 ask for pointers into `address`: no fixed buffer limits the URL.
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    // The core checked the address (scheme, host, port); WinHTTP cracks only http and https
    // addresses, and follows redirects only to those.
    if (!::WinHttpCrackUrl(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts)) {
      return nullptr;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    // The path with its query string, used unchanged as the object name.
    std::wstring object(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    const HINTERNET connect = ::WinHttpConnect(m_session, host.c_str(), parts.nPort, 0);
    if (!connect) return nullptr;
    const HINTERNET request =
        ::WinHttpOpenRequest(connect, L"GET", object.empty() ? L"/" : object.c_str(), nullptr,
                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                             parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
    if (!request) {
      ::WinHttpCloseHandle(connect);
      return nullptr;
    }
    DWORD redirects = static_cast<DWORD>(m_maxRedirects);
    ::WinHttpSetOption(request, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects,
                       sizeof redirects);
    if (::WinHttpSetStatusCallback(request, &OnStatus, kNotifications, 0) ==
        WINHTTP_INVALID_STATUS_CALLBACK) {
      ::WinHttpCloseHandle(request);
      ::WinHttpCloseHandle(connect);
      return nullptr;
    }
    std::wstring headers;
    for (const std::string& line : headerLines) {
      headers.append(line.begin(), line.end());
      headers += L"\r\n";
    }
    return std::make_unique<WinHttpRequest>(connect, request, std::move(headers), events);
  }

 private:
  HINTERNET m_session;
  int m_maxRedirects;
};

class WinHttpClient final : public IHttpClient {
 public:
  explicit WinHttpClient(const HttpClientOptions& options) : m_options(options) {}

  std::unique_ptr<IHttpSession> OpenSession(std::u16string_view userAgent) override {
    const HINTERNET session =
        ::WinHttpOpen(Wide(userAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (!session) return nullptr;
    // Name resolution without a limit of its own, as WinHTTP's default.
    ::WinHttpSetTimeouts(session, 0, m_options.connectTimeoutSeconds * 1000,
                         m_options.stallSeconds * 1000, m_options.stallSeconds * 1000);
    return std::make_unique<WinHttpSession>(session, m_options.maxRedirects);
  }

 private:
  HttpClientOptions m_options;
};

}  // namespace

std::unique_ptr<IHttpClient> CreateWinHttpClient(const HttpClientOptions& options) {
  return std::make_unique<WinHttpClient>(options);
}

}  // namespace zeva::win32
