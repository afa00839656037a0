// What each port supplies for the concerns that need no window: the port's main and the
// tests build their Platform from these.
#pragma once

#include <memory>

#include "platform/adapters.h"
#include "platform/files.h"
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

}  // namespace zeva
