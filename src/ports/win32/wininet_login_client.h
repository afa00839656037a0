// The login request over WinINet, as the system's internet session classes make it.
#pragma once

#include "platform/login_request.h"

namespace zeva::win32 {

class WinInetLoginClient final : public ILoginClient {
 public:
  LoginReply Send(const LoginRequest& request) override;
};

}  // namespace zeva::win32
