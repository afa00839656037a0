// A res/ template as the dialog manager reads it: an in-memory DLGTEMPLATEEX for
// CreateDialogIndirectParamW, controls in template order.
#pragma once

#include <windows.h>

#include <vector>

#include "res/dialog_templates.h"

namespace zeva::win32 {

// The template's bytes; the vector's storage starts DWORD aligned, as the dialog manager
// requires. The window is built hidden: it shows once its class has laid it out.
std::vector<WORD> BuildDialogTemplate(const res::DialogTemplate& dialog);

}  // namespace zeva::win32
