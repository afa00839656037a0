// minizip reads archives through the port's file reader, not through its own stdio layer:
// the port opens any Unicode name on both systems, takes either separator on POSIX, shares
// the file the way the rest of the client does, and lets tests and the fuzzer hand minizip
// archives held in memory. minizip asks for many small pieces (header fields of 2 and 4
// bytes), so reads go through a window of the file kept in memory.
#pragma once

#include <ioapi.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/files.h"

namespace zeva {

class ArchiveInput {
 public:
  explicit ArchiveInput(std::unique_ptr<IFileReader> reader);
  ArchiveInput(const ArchiveInput&) = delete;
  ArchiveInput& operator=(const ArchiveInput&) = delete;

  // minizip's file functions bound to this input; valid while it lives. minizip's "open"
  // hands back this input whatever name it is given.
  zlib_filefunc64_def Functions();

  // Copies up to `size` bytes at the current position and moves past them.
  size_t Read(void* data, size_t size);
  bool Seek(int64_t offset, int origin);
  uint64_t Position() const { return m_position; }
  // The reader failed, or the last read ended short: minizip reads headers field by field
  // and asks for the error only after a short read, and a field cut off by the end of the
  // file must not read as zeros.
  bool Failed() const { return m_failed || m_shortRead; }

 private:
  static constexpr size_t kWindowSize = 64 * 1024;

  bool Fill(uint64_t offset);

  std::unique_ptr<IFileReader> m_reader;
  uint64_t m_size = 0;
  uint64_t m_position = 0;
  std::vector<unsigned char> m_window;
  uint64_t m_windowStart = 0;
  size_t m_windowLength = 0;
  bool m_failed = false;
  bool m_shortRead = false;
};

}  // namespace zeva
