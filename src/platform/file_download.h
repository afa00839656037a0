// A blocking download of one address into one file, for a worker thread or the user-interface
// thread: progress as it goes, cancellable from another thread. The transport reports what it
// saw; the core judges it (the address before, the reply after: download/whole_file_download.h,
// which also keeps partial files away from the final name).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
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

// How a transfer went, as its transport saw it.
enum class TransferEnd {
  kBodyEnded,  // the body ended as far as the transport can tell, and the file holds it
  kFailed,     // no reply, a broken connection, a file that could not be written
  kCancelled,
};

// The facts the core judges a finished transfer by.
struct FileDownloadReport {
  TransferEnd end = TransferEnd::kFailed;
  std::optional<uint32_t> status;           // of the final reply (redirects followed)
  std::optional<uint64_t> announcedLength;  // its body's length as the reply gave it
  uint64_t written = 0;                     // bytes of the body in the file
};

class IFileDownloader {
 public:
  virtual ~IFileDownloader() = default;
  // Fetches an address the core accepted (http or https) into `file`, created or replaced.
  // Redirects are followed to http and https only: their targets only the transport sees.
  // Whatever the status, the body is written as it comes; the core judges the reply. After
  // anything but kBodyEnded the file may hold part of the body.
  virtual FileDownloadReport Download(std::u16string_view url, std::u16string_view file,
                                      const DownloadProgress& progress = {},
                                      const DownloadCancel* cancel = nullptr) = 0;
};

}  // namespace zeva
