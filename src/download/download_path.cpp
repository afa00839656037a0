#include "download/download_path.h"

#include "platform/path_style.h"

namespace zeva {

namespace {

// Windows takes '/' as a separator too, so a name is checked with both on every port.
constexpr bool IsAnySeparator(char16_t c) {
  return c == u'/' || c == u'\\';
}

}  // namespace

bool IsAcceptableDownloadName(std::u16string_view name) {
  if (name.empty() || IsAnySeparator(name.front())) return false;
  // "C:x" and "C:\x" name a drive; neither stays under Downloads.
  if (name.size() >= 2 && name[1] == u':') return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsAnySeparator(name[end])) ++end;
    if (name.substr(start, end - start) == u"..") return false;
    start = end + 1;
  }
  return true;
}

std::u16string DownloadsFolderOf(std::u16string_view clientFolder) {
  std::u16string folder(clientFolder);
  folder += kDownloadsFolder;
  return folder;
}

std::u16string DownloadPath(std::u16string_view clientFolder, std::u16string_view name) {
  std::u16string path = DownloadsFolderOf(clientFolder);
  path += kPathSeparator;
  path += name;
  return path;
}

}  // namespace zeva
