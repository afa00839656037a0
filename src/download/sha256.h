// SHA-256, fed in pieces, and the digest of a file read through the port in pieces: a file of
// any size costs one read buffer. Processors with the SHA extensions (x86) get them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace zeva {

class Sha256 {
 public:
  // `useCpuExtensions` false: the portable rounds alone (for tests and benchmarks).
  explicit Sha256(bool useCpuExtensions = true);

  void Update(const void* data, size_t size);
  // The digest of everything fed so far; the object is spent afterwards.
  std::array<uint8_t, 32> Finish();

  // Whether this processor's SHA extensions run the rounds.
  static bool CpuExtensionsAvailable();

 private:
  void Compress(const uint8_t* blocks, size_t count);

  std::array<uint32_t, 8> m_state;
  std::array<uint8_t, 64> m_pending{};
  size_t m_pendingSize = 0;
  uint64_t m_length = 0;
  bool m_useCpuExtensions;
};

// Lower-case hexadecimal.
std::string ToHex(const std::array<uint8_t, 32>& digest);

// The file's digest in lower-case hexadecimal; nothing for a missing file, a folder, or a
// file that cannot be read to its end.
std::optional<std::string> Sha256OfFile(IFileSystem& files, std::u16string_view path);

}  // namespace zeva
