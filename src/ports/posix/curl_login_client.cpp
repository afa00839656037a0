#include "ports/posix/curl_login_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

#include "platform/unicode.h"

namespace zeva::posix {
namespace {

struct Body {
  std::string bytes;
  size_t limit = 0;
  bool full = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& body = *static_cast<Body*>(user);
  const size_t total = size * count;
  const size_t room = body.limit - std::min(body.limit, body.bytes.size());
  body.bytes.append(data, std::min(total, room));
  if (total <= room) return total;
  body.full = true;
  return 0;  // enough read: stop the transfer here
}

LoginFailure FailureOf(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return LoginFailure::kHostNotFound;
    case CURLE_COULDNT_CONNECT:
      return LoginFailure::kCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return LoginFailure::kTimedOut;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
      return LoginFailure::kConnectionLost;
    default:
      return LoginFailure::kOther;
  }
}

}  // namespace

CurlLoginClient::CurlLoginClient() : m_ready(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}

CurlLoginClient::~CurlLoginClient() {
  if (m_ready) curl_global_cleanup();
}

LoginReply CurlLoginClient::Send(const LoginRequest& request) {
  LoginReply reply;
  reply.failure = LoginFailure::kOther;
  const std::unique_ptr<CURL, void (*)(CURL*)> easy(m_ready ? curl_easy_init() : nullptr,
                                                    &curl_easy_cleanup);
  if (!easy) return reply;
  const std::string host = Utf16ToUtf8(request.host);
  const bool literalV6 = host.find(':') != std::string::npos;
  const std::string url = "http://" + (literalV6 ? "[" + host + "]" : host) + ":" +
                          std::to_string(request.port) + Utf16ToUtf8(request.object);
  const std::string userAgent = Utf16ToUtf8(request.userAgent);
  // curl adds no Content-Type to a GET, so the line always goes out.
  const std::unique_ptr<curl_slist, void (*)(curl_slist*)> headers(
      request.header.empty() ? nullptr : curl_slist_append(nullptr, request.header.c_str()),
      &curl_slist_free_all);
  Body body;
  body.limit = request.maxBodyBytes;

  CURL* e = easy.get();
  bool ok = curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK;
  // The system's session classes follow redirects; so does this request, on the web only.
  ok = ok && curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_USERAGENT, userAgent.c_str()) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                              static_cast<long>(request.connectTimeoutMs)) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME,
                              std::max(1L, static_cast<long>(request.receiveTimeoutMs / 1000))) ==
                 CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &OnBody) == CURLE_OK;
  ok = ok && curl_easy_setopt(e, CURLOPT_WRITEDATA, &body) == CURLE_OK;
  if (!ok) return reply;

  const CURLcode result = curl_easy_perform(e);
  curl_off_t connectTime = 0;
  curl_easy_getinfo(e, CURLINFO_CONNECT_TIME_T, &connectTime);
  reply.connected = connectTime > 0;
  if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && body.full)) {
    reply.failure = FailureOf(result);
    return reply;
  }
  long status = 0;
  curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  reply.failure = LoginFailure::kNone;
  reply.status = static_cast<uint32_t>(status);
  reply.body = std::move(body.bytes);
  return reply;
}

}  // namespace zeva::posix
