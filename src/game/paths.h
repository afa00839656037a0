// The client folder and the path helpers every subsystem uses.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zeva {

// The folder of the running executable, ending in one separator.
std::u16string GetClientFolder(const Platform& platform);

// The executable's file name without its extension: the caption of the client's own
// message boxes.
std::u16string GetApplicationName(const Platform& platform);

// The part of `path` before its last separator, with that separator when `withSeparator`;
// empty when the path holds no separator.
std::u16string GetFolderPart(std::u16string_view path, bool withSeparator);

// Creates every folder along `path` and reports whether `path` is then a folder. A path
// ending in a separator is created all the same but reported false.
bool MakeDirectoryPath(const Platform& platform, std::u16string_view path);

}  // namespace zeva
