// The port contract: everything the core asks of an operating system, handed out together.
#pragma once

#include "platform/adapters.h"
#include "platform/autostart.h"
#include "platform/dialogs.h"
#include "platform/disk_space.h"
#include "platform/file_download.h"
#include "platform/files.h"
#include "platform/login_request.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/single_instance.h"
#include "platform/text_codec.h"
#include "platform/toolkit.h"
#include "platform/window_system.h"

namespace zeva {

struct Platform {
  IFileSystem& files;
  ITextCodec& codec;
  INetworkAdapters& adapters;
  ISingleInstance& instance;
  IWindowSystem& windows;
  IRegistry& registry;
  IDialogs& dialogs;
  IShell& shell;
  IToolkit& toolkit;
  IAutostart& autostart;
  ILoginClient& login;
  IFileDownloader& downloader;
  IDiskSpace& diskSpace;
};

}  // namespace zeva
