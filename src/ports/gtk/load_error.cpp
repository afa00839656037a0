#include "ports/gtk/load_error.h"

#include <gio/gio.h>
#include <webkit2/webkit2.h>

namespace zeva::gtk {

NavigationFailure ClassifyLoadError(GQuark domain, int code) {
  if (domain == WEBKIT_NETWORK_ERROR) {
    switch (code) {
      case WEBKIT_NETWORK_ERROR_CANCELLED:
        return NavigationFailure::kCancelled;
      case WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL:
        return NavigationFailure::kOtherProgram;
      case WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST:
        return NavigationFailure::kBadAddress;
      default:  // failed, transport
        return NavigationFailure::kCannotConnect;
    }
  }
  // A type WebKit cannot show, a download, a navigation a policy stopped, a plug-in's page.
  if (domain == WEBKIT_POLICY_ERROR || domain == WEBKIT_PLUGIN_ERROR ||
      domain == WEBKIT_DOWNLOAD_ERROR) {
    return NavigationFailure::kNotShown;
  }
  if (domain == G_TLS_ERROR) return NavigationFailure::kCertificate;
  if (domain == G_IO_ERROR) {
    return code == G_IO_ERROR_CANCELLED ? NavigationFailure::kCancelled
                                        : NavigationFailure::kCannotConnect;
  }
  if (domain == G_RESOLVER_ERROR) return NavigationFailure::kCannotConnect;
  return NavigationFailure::kUnknown;
}

}  // namespace zeva::gtk
