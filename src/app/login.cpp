#include "app/login.h"

#include <chrono>
#include <string>
#include <thread>

#include "app/text_codecs.h"
#include "game/paths.h"

namespace zeva {
namespace {

// What the form shows when the system names no reason of its own.
std::u16string FailureText(LoginFailure failure) {
  switch (failure) {
    case LoginFailure::kHostNotFound:
      return u"无法解析服务器的名称或地址。";
    case LoginFailure::kCannotConnect:
      return u"无法与服务器建立连接。";
    case LoginFailure::kTimedOut:
      return u"操作超时。";
    case LoginFailure::kConnectionLost:
      return u"与服务器的连接意外终止。";
    default:
      return u"网络请求失败。";
  }
}

std::u16string Number(uint32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// The reply as text in the ANSI code page, read whole so a character is never split between
// reads; it ends at a zero byte as the text of a box would.
std::u16string ReplyText(ITextCodec& codec, std::string_view body) {
  body = body.substr(0, body.find('\0'));
  if (body.empty()) return u"登录服务器没有返回内容。";
  return codec.AnsiToUtf16(body);
}

}  // namespace

std::u16string LoginObject(std::u16string_view user, std::u16string_view password) {
  return u"/ajax.php?action=login&rcode=" + UrlEncode(user) + u"%09" + UrlEncode(password) +
         u"&appid=17";
}

void RunLoginCommand(const Platform& platform, WindowHandle owner, const AccountServer& server,
                     std::u16string_view user, std::u16string_view password) {
  if (user.empty() || password.empty()) {
    platform.dialogs.ShowMessageBox(owner, kLoginEmptyField, kLoginCaption, kMbOk);
    return;
  }
  LoginRequest request;
  request.host = server.host;
  request.port = server.port;
  request.object = LoginObject(user, password);
  request.userAgent = GetApplicationName(platform);
  request.header = kLoginContentType;
  request.connectTimeoutMs = kLoginConnectTimeoutMs;
  request.receiveTimeoutMs = kLoginConnectTimeoutMs;

  LoginReply reply = platform.login.Send(request);
  if (!reply.status && !reply.connected) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kLoginConnectBackoffMs));
    reply = platform.login.Send(request);
  }

  const std::u16string caption = GetApplicationName(platform);
  constexpr uint32_t kStyle = kMbOk | kMbIconExclamation;
  if (!reply.status) {
    platform.dialogs.ShowMessageBox(
        owner, reply.systemText.empty() ? FailureText(reply.failure) : reply.systemText, caption,
        kStyle);
  } else if (*reply.status != 200) {
    platform.dialogs.ShowMessageBox(owner, u"POST出错，错误码：" + Number(*reply.status), caption,
                                    kStyle);
  } else {
    platform.dialogs.ShowMessageBox(owner, ReplyText(platform.codec, reply.body), caption, kStyle);
  }
}

}  // namespace zeva
