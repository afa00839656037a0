#include "support/test_blob.h"

#include <charconv>
#include <utility>

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
  return MakeStoredZip({{BlobName(size, seed), MakeBlob(size, seed)}});
}

std::string MakeStoredZip(std::vector<std::pair<std::string, std::string>> entries) {
  struct Record {
    std::string name;
    uint32_t crc, length, offset;
  };
  // The fields both headers share: method 0 (stored), DOS date 1 January 2020, sizes, name.
  const auto common = [](std::string& out, const Record& r) {
    PutLittle(out, 0, 2);  // flags
    PutLittle(out, 0, 2);  // method
    PutLittle(out, 0, 2);  // time
    PutLittle(out, 0x5021, 2);
    PutLittle(out, r.crc, 4);
    PutLittle(out, r.length, 4);
    PutLittle(out, r.length, 4);
    PutLittle(out, static_cast<uint32_t>(r.name.size()), 2);
    PutLittle(out, 0, 2);  // extra field
  };
  std::string zip;
  std::vector<Record> records;
  for (auto& [name, data] : entries) {
    records.push_back(
        {name, Crc32(data), static_cast<uint32_t>(data.size()), static_cast<uint32_t>(zip.size())});
    PutLittle(zip, 0x04034B50, 4);
    PutLittle(zip, 20, 2);  // version needed: 2.0
    common(zip, records.back());
    zip += name;
    zip += data;
    std::string().swap(data);  // the archive holds it now
  }
  const auto directoryStart = static_cast<uint32_t>(zip.size());
  for (const Record& r : records) {
    PutLittle(zip, 0x02014B50, 4);
    PutLittle(zip, 20, 2);  // made by
    PutLittle(zip, 20, 2);  // needed
    common(zip, r);
    PutLittle(zip, 0, 2);  // comment
    PutLittle(zip, 0, 2);  // disk
    PutLittle(zip, 0, 2);  // internal attributes
    PutLittle(zip, 0, 4);  // external attributes
    PutLittle(zip, r.offset, 4);
    zip += r.name;
  }
  const auto directorySize = static_cast<uint32_t>(zip.size()) - directoryStart;
  const auto count = static_cast<uint32_t>(records.size());
  PutLittle(zip, 0x06054B50, 4);
  PutLittle(zip, 0, 2);
  PutLittle(zip, 0, 2);
  PutLittle(zip, count, 2);
  PutLittle(zip, count, 2);
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

std::string ChangedVersion(std::string bytes, uint32_t version) {
  const auto mask = static_cast<char>(version % 255 + (version ? 1 : 0));
  for (char& c : bytes) c = static_cast<char>(c ^ mask);
  return bytes;
}

}  // namespace zeva::test
