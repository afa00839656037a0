// minizip reads archives through the port's file reader, not through its own stdio layer:
// the port opens any Unicode name on both systems, takes either separator on POSIX, shares
// the file the way the rest of the client does, and lets tests and the fuzzer hand minizip
// archives held in memory. minizip asks for many small pieces (header fields of 2 and 4
// bytes), so its reads go through two small windows of the file kept in memory: one stays on
// the central directory while the other follows the local headers, so walking the entries
// does not read the same directory bytes again for every entry. Entry data is read past
// the windows, in large pieces, by ReadAt.
#pragma once

#include <ioapi.h>

#include <cstdint>
#include <memory>
#include <optional>
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
  uint64_t Size() const { return m_size; }
  // Reads straight from the file at `offset`, past the windows and the position: the count
  // read (0 past the end), nothing on error.
  std::optional<size_t> ReadAt(uint64_t offset, void* data, size_t size);
  // The reader failed, or the last read ended short: minizip reads headers field by field
  // and asks for the error only after a short read, and a field cut off by the end of the
  // file must not read as zeros.
  bool Failed() const { return m_failed || m_shortRead; }
  // The lowest offset a read through the windows started at since ResetLowestRead (UINT64_MAX
  // for none). minizip keeps to itself where in the file the central directory starts (past
  // any bytes in front of the archive); the first record it reads there tells.
  void ResetLowestRead() { m_lowestRead = UINT64_MAX; }
  uint64_t LowestRead() const { return m_lowestRead; }

 private:
  static constexpr size_t kWindowSize = 8 * 1024;

  struct Window {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(kWindowSize);
    uint64_t start = 0;
    size_t length = 0;
    uint64_t lastUse = 0;
    bool Holds(uint64_t position) const { return position >= start && position - start < length; }
  };

  // The window holding `position`, filled anew (the one used least lately) when none does;
  // nothing when the reader fails or nothing is there.
  Window* WindowAt(uint64_t position);

  std::unique_ptr<IFileReader> m_reader;
  uint64_t m_size = 0;
  uint64_t m_position = 0;
  Window m_windows[2];
  uint64_t m_uses = 0;
  bool m_failed = false;
  bool m_shortRead = false;
  uint64_t m_lowestRead = UINT64_MAX;
};

}  // namespace zeva
