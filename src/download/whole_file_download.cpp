#include "download/whole_file_download.h"

#include "download/download_path.h"

namespace zeva {
namespace {

constexpr uint32_t kFirstErrorStatus = 400;

// The port reports what it saw; whether that is a download is decided here, for both ports.
DownloadResult Judge(const FileDownloadReport& report) {
  if (report.end == TransferEnd::kCancelled) return DownloadResult::kCancelled;
  if (report.end != TransferEnd::kBodyEnded) return DownloadResult::kFailed;
  // An error page is no file, whatever its body.
  if (report.status && *report.status >= kFirstErrorStatus) return DownloadResult::kFailed;
  // A connection that closed early looks like the end of the body to some transports.
  if (report.announcedLength && *report.announcedLength != report.written) {
    return DownloadResult::kFailed;
  }
  return DownloadResult::kDone;
}

}  // namespace

DownloadResult DownloadWholeFile(const Platform& platform, std::u16string_view url,
                                 const std::u16string& target, const DownloadProgress& progress,
                                 const DownloadCancel* cancel) {
  const std::u16string part = target + u".part";
  DownloadResult result = DownloadResult::kFailed;
  if (CheckDownloadAddress(url) == AddressCheck::kOk) {
    result = Judge(platform.downloader.Download(url, part, progress, cancel));
  }
  if (result == DownloadResult::kDone && !platform.files.Move(part, target)) {
    result = DownloadResult::kFailed;
  }
  if (result != DownloadResult::kDone) platform.files.Remove(part);
  return result;
}

}  // namespace zeva
