// Every service of the Win32 port, put together as the core's Platform.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/port.h"
#include "ports/win32/win32_system.h"

namespace zeva::win32 {

struct PortServices {
  std::unique_ptr<IFileSystem> files = CreateFileSystem();
  std::unique_ptr<ITextCodec> codec = CreateTextCodec();
  std::unique_ptr<INetworkAdapters> adapters = CreateNetworkAdapters();
  std::unique_ptr<ISingleInstance> instance = CreateSingleInstance();
  std::unique_ptr<IRegistry> registry = CreateRegistry();
  std::unique_ptr<IShell> shell = CreateShell();
  Win32WindowSystem windows;
  Win32Dialogs dialogs;
  Win32Toolkit toolkit;
  const Platform platform{*files,    *codec,  *adapters, *instance, windows,
                          *registry, dialogs, *shell,    toolkit};
};

}  // namespace zeva::win32
