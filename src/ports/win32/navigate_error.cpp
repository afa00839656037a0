#include "ports/win32/navigate_error.h"

#include <urlmon.h>
#include <windows.h>

namespace zeva::win32 {

NavigationFailure ClassifyNavigateError(int32_t status) {
  // The server answered: its own error page is shown.
  if (status >= 100 && status <= 599) return NavigationFailure::kHttpStatus;
  switch (static_cast<HRESULT>(status)) {
    case INET_E_NO_SESSION:
    case INET_E_CANNOT_CONNECT:
    case INET_E_RESOURCE_NOT_FOUND:
    case INET_E_OBJECT_NOT_FOUND:
    case INET_E_DATA_NOT_AVAILABLE:
    case INET_E_DOWNLOAD_FAILURE:
    case INET_E_CONNECTION_TIMEOUT:
    case INET_E_CANNOT_LOAD_DATA:
      return NavigationFailure::kCannotConnect;
    case INET_E_INVALID_URL:
      return NavigationFailure::kBadAddress;
    case INET_E_INVALID_CERTIFICATE:
    case INET_E_SECURITY_PROBLEM:
      return NavigationFailure::kCertificate;
    case E_ABORT:
    case INET_E_TERMINATED_BIND:
      return NavigationFailure::kCancelled;
    case INET_E_UNKNOWN_PROTOCOL:
    case INET_E_USE_DEFAULT_PROTOCOLHANDLER:
      return NavigationFailure::kOtherProgram;
    case INET_E_CANNOT_INSTANTIATE_OBJECT:
    case INET_E_REDIRECT_TO_DIR:
      return NavigationFailure::kNotShown;
    default:
      return NavigationFailure::kUnknown;
  }
}

}  // namespace zeva::win32
