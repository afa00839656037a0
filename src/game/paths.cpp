#include "game/paths.h"

#include "platform/path_style.h"

namespace zeva {
namespace {

size_t LastSeparator(std::u16string_view path) {
  for (size_t i = path.size(); i-- > 0;) {
    if (IsPathSeparator(path[i])) return i;
  }
  return std::u16string_view::npos;
}

}  // namespace

std::u16string GetClientFolder(const Platform& platform) {
  std::u16string folder = GetFolderPart(platform.files.ExecutablePath(), false);
  if (folder.empty() || !IsPathSeparator(folder.back())) folder += kPathSeparator;
  return folder;
}

std::u16string GetApplicationName(const Platform& platform) {
  const std::u16string path = platform.files.ExecutablePath();
  const size_t last = LastSeparator(path);
  std::u16string name = last == std::u16string::npos ? path : path.substr(last + 1);
  if (const size_t dot = name.rfind(u'.'); dot != std::u16string::npos && dot > 0) {
    name.resize(dot);
  }
  return name;
}

std::u16string GetFolderPart(std::u16string_view path, bool withSeparator) {
  const size_t last = LastSeparator(path);
  if (last == std::u16string_view::npos) return {};
  return std::u16string(path.substr(0, withSeparator ? last + 1 : last));
}

bool MakeDirectoryPath(const Platform& platform, std::u16string_view path) {
  for (size_t i = 0; i < path.size(); ++i) {
    // Failures are passed over: the folder may exist already, or be a drive ("C:").
    if (IsPathSeparator(path[i]) && i > 0) platform.files.CreateFolder(path.substr(0, i));
  }
  platform.files.CreateFolder(path);
  if (path.empty() || IsPathSeparator(path.back())) return false;
  const std::optional<FoundEntry> found = platform.files.FindFirst(path);
  return found && (found->attributes & kAttrDirectory);
}

}  // namespace zeva
