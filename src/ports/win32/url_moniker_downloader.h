// The blocking download through the URL moniker (URLDownloadToFileW).
#pragma once

#include "platform/file_download.h"

namespace zeva::win32 {

class UrlMonikerDownloader final : public IFileDownloader {
 public:
  FileDownloadReport Download(std::u16string_view url, std::u16string_view file,
                              const DownloadProgress& progress,
                              const DownloadCancel* cancel) override;
};

}  // namespace zeva::win32
