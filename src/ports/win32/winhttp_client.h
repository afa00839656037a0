// The async HTTP contract over WinHTTP in asynchronous mode.
#pragma once

#include <memory>

#include "platform/http.h"

namespace zeva::win32 {

std::unique_ptr<IHttpClient> CreateWinHttpClient(const HttpClientOptions& options);

}  // namespace zeva::win32
