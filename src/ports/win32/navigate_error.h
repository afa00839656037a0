// The Internet Explorer control's navigation errors in the client's words (the core decides
// what each one shows).
#pragma once

#include <cstdint>

#include "host/browser_policy.h"

namespace zeva::win32 {

// `status`: NavigateError's status, an HTTP status code or an HRESULT.
NavigationFailure ClassifyNavigateError(int32_t status);

}  // namespace zeva::win32
