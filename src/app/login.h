// The native login form's command (button 1007, Enter in its fields): the user name and the
// password go to the account server's login endpoint and its answer is shown in a box.
// Nothing is stored: the portal page keeps the login record itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zeva {

struct AccountServer {
  std::u16string host;
  uint16_t port = 80;
};

inline constexpr char16_t kLoginCaption[] = u"登录";
inline constexpr char16_t kLoginEmptyField[] = u"用户名或密码不能为空!";
inline constexpr char kLoginContentType[] =
    "Content-Type:application/x-www-form-urlencoded;charset=UTF-8";
inline constexpr int kLoginConnectTimeoutMs = 20000;
// Before the one more attempt that follows a connection that could not be made.
inline constexpr int kLoginConnectBackoffMs = 1000;

// "/ajax.php?action=login&rcode=" + name + "%09" + password, each percent-encoded as UTF-8,
// + "&appid=17".
std::u16string LoginObject(std::u16string_view user, std::u16string_view password);

// Sends the request (synchronously, as the form always has: at most two connection attempts
// of 20 s, then 20 s without a byte of the reply) and shows the outcome in a box owned by
// `owner`.
void RunLoginCommand(const Platform& platform, WindowHandle owner, const AccountServer& server,
                     std::u16string_view user, std::u16string_view password);

}  // namespace zeva
