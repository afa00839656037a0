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

namespace {

uint32_t Crc32(std::string_view bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutLittle(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string ZipBlobName(size_t size, uint32_t seed) {
  return "zip-" + std::to_string(size) + "-" + std::to_string(seed);
}

std::string MakeZipBlob(size_t size, uint32_t seed) {
  const std::string entry = BlobName(size, seed);
  const std::string data = MakeBlob(size, seed);
  const uint32_t crc = Crc32(data);
  const auto length = static_cast<uint32_t>(size);
  // The fields both headers share: method 0 (stored), DOS date 1 January 2020, sizes, name.
  const auto common = [&](std::string& out) {
    PutLittle(out, 0, 2);  // flags
    PutLittle(out, 0, 2);  // method
    PutLittle(out, 0, 2);  // time
    PutLittle(out, 0x5021, 2);
    PutLittle(out, crc, 4);
    PutLittle(out, length, 4);
    PutLittle(out, length, 4);
    PutLittle(out, static_cast<uint32_t>(entry.size()), 2);
    PutLittle(out, 0, 2);  // extra field
  };
  std::string zip;
  PutLittle(zip, 0x04034B50, 4);
  PutLittle(zip, 20, 2);  // version needed: 2.0
  common(zip);
  zip += entry;
  zip += data;
  const auto directoryStart = static_cast<uint32_t>(zip.size());
  PutLittle(zip, 0x02014B50, 4);
  PutLittle(zip, 20, 2);  // made by
  PutLittle(zip, 20, 2);  // needed
  common(zip);
  PutLittle(zip, 0, 2);  // comment
  PutLittle(zip, 0, 2);  // disk
  PutLittle(zip, 0, 2);  // internal attributes
  PutLittle(zip, 0, 4);  // external attributes
  PutLittle(zip, 0, 4);  // local header offset
  zip += entry;
  const auto directorySize = static_cast<uint32_t>(zip.size()) - directoryStart;
  PutLittle(zip, 0x06054B50, 4);
  PutLittle(zip, 0, 2);
  PutLittle(zip, 0, 2);
  PutLittle(zip, 1, 2);
  PutLittle(zip, 1, 2);
  PutLittle(zip, directorySize, 4);
  PutLittle(zip, directoryStart, 4);
  PutLittle(zip, 0, 2);
  return zip;
}

std::optional<std::string> BlobForName(std::string_view name) {
  bool zip = false;
  if (name.substr(0, 4) == "zip-") {
    zip = true;
    name.remove_prefix(4);
  } else if (name.substr(0, 5) == "blob-") {
    name.remove_prefix(5);
  } else {
    return std::nullopt;
  }
  size_t size = 0;
  uint32_t seed = 0;
  auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), size);
  if (error != std::errc() || end == name.data() + name.size() || *end != '-') return std::nullopt;
  ++end;
  auto [last, error2] = std::from_chars(end, name.data() + name.size(), seed);
  if (error2 != std::errc() || last != name.data() + name.size()) return std::nullopt;
  if (size > (size_t{1} << 30)) return std::nullopt;
  return zip ? MakeZipBlob(size, seed) : MakeBlob(size, seed);
}

}  // namespace zeva::test
