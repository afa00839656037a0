// WebKit's load failures in the client's words (the core decides what each one shows).
#pragma once

#include <glib.h>

#include "host/browser_policy.h"

namespace zeva::gtk {

NavigationFailure ClassifyLoadError(GQuark domain, int code);

}  // namespace zeva::gtk
