// The window-mode hook files that pages place in the game folders.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace zeva {

// Deletes Msimg32.dll, dbghelp.dll and hook.dll, in this order, from `folder` when it is a
// game folder (it holds the launcher). The last two bear the names of system libraries, so
// a folder typed by hand that is no game folder keeps them. Failures are passed over.
void RemoveHookFiles(const Platform& platform, std::u16string_view folder);

}  // namespace zeva
