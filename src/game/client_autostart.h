// Starting the client with the user's session: one entry named "ZEVA" that starts the
// program in the client folder.
#pragma once

#include "platform/platform.h"

namespace zeva {

inline constexpr char16_t kAutostartName[] = u"ZEVA";

// The entry: the client folder followed by the port's program name ("ZEVA.exe" on Windows,
// whatever the running executable is called).
AutostartEntry ClientAutostartEntry(const Platform& platform);

// Registers or removes the entry; false when the system refused.
bool SetClientAutostart(const Platform& platform, bool on);

}  // namespace zeva
