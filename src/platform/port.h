// What each port supplies for the concerns that need no window: the port's main and the
// tests build their Platform from these.
#pragma once

#include <memory>

#include "platform/adapters.h"
#include "platform/autostart.h"
#include "platform/disk_space.h"
#include "platform/file_download.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/login_request.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/single_instance.h"
#include "platform/text_codec.h"

namespace zeva {

std::unique_ptr<IFileSystem> CreateFileSystem();
std::unique_ptr<ITextCodec> CreateTextCodec();
std::unique_ptr<INetworkAdapters> CreateNetworkAdapters();
std::unique_ptr<ISingleInstance> CreateSingleInstance();
std::unique_ptr<IRegistry> CreateRegistry();
std::unique_ptr<IShell> CreateShell();
std::unique_ptr<IAutostart> CreateAutostart();
std::unique_ptr<ILoginClient> CreateLoginClient();
// Gives up as the HTTP layer does (the options' connect and stall limits; redirects kept to the
// web). The core checks the address and judges the reply.
std::unique_ptr<IFileDownloader> CreateFileDownloader(const HttpClientOptions& options = {});
std::unique_ptr<IDiskSpace> CreateDiskSpace();

// Every service of a port put together as the core's Platform: the ones above, and the
// port's windows, message boxes and toolkit.
template <typename WindowSystem, typename Dialogs, typename Toolkit>
struct PortServices {
  std::unique_ptr<IFileSystem> files = CreateFileSystem();
  std::unique_ptr<ITextCodec> codec = CreateTextCodec();
  std::unique_ptr<INetworkAdapters> adapters = CreateNetworkAdapters();
  std::unique_ptr<ISingleInstance> instance = CreateSingleInstance();
  std::unique_ptr<IRegistry> registry = CreateRegistry();
  std::unique_ptr<IShell> shell = CreateShell();
  std::unique_ptr<IAutostart> autostart = CreateAutostart();
  std::unique_ptr<ILoginClient> login = CreateLoginClient();
  std::unique_ptr<IFileDownloader> downloader = CreateFileDownloader();
  std::unique_ptr<IDiskSpace> diskSpace = CreateDiskSpace();
  WindowSystem windows;
  Dialogs dialogs;
  Toolkit toolkit;
  const Platform platform{*files, *codec,  *adapters,  *instance, windows,     *registry, dialogs,
                          *shell, toolkit, *autostart, *login,    *downloader, *diskSpace};
};

}  // namespace zeva
