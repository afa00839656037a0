#include "download/download_path.h"

#include "platform/path_style.h"

namespace zeva {

bool IsAcceptableDownloadName(std::u16string_view name) {
  if (name.empty() || IsPathSeparator(name.front())) return false;
  // "C:x" and "C:\x" name a drive; neither stays under Downloads.
  if (name.size() >= 2 && name[1] == u':') return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsPathSeparator(name[end])) ++end;
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
