// Every service of the Win32 port, put together as the core's Platform.
#pragma once

#include "platform/port.h"
#include "ports/win32/win32_system.h"

namespace zeva::win32 {

using PortServices = zeva::PortServices<Win32WindowSystem, Win32Dialogs, Win32Toolkit>;

}  // namespace zeva::win32
