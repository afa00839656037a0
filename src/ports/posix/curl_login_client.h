// The login request over libcurl.
#pragma once

#include "platform/login_request.h"

namespace zeva::posix {

class CurlLoginClient final : public ILoginClient {
 public:
  CurlLoginClient();
  ~CurlLoginClient() override;
  LoginReply Send(const LoginRequest& request) override;

 private:
  bool m_ready = false;
};

}  // namespace zeva::posix
