// A blocking download of one address into one file, for a worker thread or the user-interface
// thread: progress as it goes, cancellable from another thread. The caller names the file
// and decides what a failure leaves behind (download/whole_file_download.h keeps partial
// files away from the final name).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zeva {

// Set from any thread; the transfer stops at its next step (within about a second).
class DownloadCancel {
 public:
  void Cancel() { m_cancelled = true; }
  bool Cancelled() const { return m_cancelled; }

 private:
  std::atomic<bool> m_cancelled{false};
};

// Bytes so far and the whole size (0 while unknown), on the downloading thread.
using DownloadProgress = std::function<void(uint64_t received, uint64_t total)>;

enum class DownloadResult { kDone, kFailed, kCancelled };

class IFileDownloader {
 public:
  virtual ~IFileDownloader() = default;
  // Fetches an http or https address (redirects followed) into `file`, created or replaced.
  // A reply other than success (a 404 page) is a failure. After a failure or a cancel the
  // file may hold part of the body.
  virtual DownloadResult Download(std::u16string_view url, std::u16string_view file,
                                  const DownloadProgress& progress = {},
                                  const DownloadCancel* cancel = nullptr) = 0;
};

}  // namespace zeva
