#include "download/whole_file_download.h"

namespace zeva {

DownloadResult DownloadWholeFile(const Platform& platform, std::u16string_view url,
                                 const std::u16string& target, const DownloadProgress& progress,
                                 const DownloadCancel* cancel) {
  const std::u16string part = target + u".part";
  DownloadResult result = platform.downloader.Download(url, part, progress, cancel);
  if (result == DownloadResult::kDone && !platform.files.Move(part, target)) {
    result = DownloadResult::kFailed;
  }
  if (result != DownloadResult::kDone) platform.files.Remove(part);
  return result;
}

}  // namespace zeva
