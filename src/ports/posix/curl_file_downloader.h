// The blocking download over libcurl.
#pragma once

#include <string>

#include "platform/file_download.h"
#include "platform/http.h"

namespace zeva::posix {

class CurlFileDownloader final : public IFileDownloader {
 public:
  explicit CurlFileDownloader(const HttpClientOptions& options);
  ~CurlFileDownloader() override;
  FileDownloadReport Download(std::u16string_view url, std::u16string_view file,
                              const DownloadProgress& progress,
                              const DownloadCancel* cancel) override;

 private:
  HttpClientOptions m_options;
  std::string m_caFile;
  bool m_ready = false;
};

}  // namespace zeva::posix
