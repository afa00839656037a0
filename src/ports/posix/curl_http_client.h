// The async HTTP contract over libcurl.
#pragma once

#include <memory>

#include "platform/http.h"

namespace zeva::posix {

std::unique_ptr<IHttpClient> CreateCurlHttpClient(const HttpClientOptions& options);

}  // namespace zeva::posix
