#include "support/test_blob.h"

#include <charconv>

namespace zeva::test {

std::string MakeBlob(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint64_t state = 0x9E3779B97F4A7C15ULL ^ seed;
  for (size_t i = 0; i < size; ++i) {
    // xorshift64*: cheap, and no two offsets of a file look alike.
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    bytes[i] = static_cast<char>((state * 0x2545F4914F6CDD1DULL) >> 56);
  }
  return bytes;
}

std::string BlobName(size_t size, uint32_t seed) {
  return "blob-" + std::to_string(size) + "-" + std::to_string(seed);
}

std::optional<std::string> BlobForName(std::string_view name) {
  constexpr std::string_view kPrefix = "blob-";
  if (name.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  name.remove_prefix(kPrefix.size());
  size_t size = 0;
  uint32_t seed = 0;
  auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), size);
  if (error != std::errc() || end == name.data() + name.size() || *end != '-') return std::nullopt;
  ++end;
  auto [last, error2] = std::from_chars(end, name.data() + name.size(), seed);
  if (error2 != std::errc() || last != name.data() + name.size()) return std::nullopt;
  if (size > (size_t{1} << 30)) return std::nullopt;
  return MakeBlob(size, seed);
}

}  // namespace zeva::test
