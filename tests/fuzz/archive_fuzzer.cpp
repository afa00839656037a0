// libFuzzer target: any bytes as a ZIP archive through the whole extractor, and as an entry
// name through the cleaning. Files go to an in-memory file system that fails the run when a
// path leaves the target folder or is one Windows reads as something else, or when the
// archive's files add up to more than its bytes can inflate to (entries sharing data).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "download/archive_extractor.h"
#include "download/entry_name.h"
#include "fuzz_check.h"
#include "platform/port.h"

namespace zeva {
namespace {

const std::u16string kTarget = u"T/";
constexpr uint64_t kFileLimit = 1 << 20;  // a bomb is refused like a full disk
// Deflate makes at most 1,032 bytes of one, and fuzzed inputs stay under 16 MiB.
constexpr uint64_t kDeflateRatio = 1032;
constexpr uint64_t kReserveLimit = kDeflateRatio << 24;

bool IsSeparator(char16_t c) {
  return c == u'/' || c == u'\\';
}

// A path under the target whose components are all plain names.
bool StaysInside(std::u16string_view path) {
  if (path.substr(0, kTarget.size()) != kTarget) return false;
  std::u16string_view rest = path.substr(kTarget.size());
  while (!rest.empty()) {
    size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::u16string_view component = rest.substr(0, end);
    if (component == u"." || component == u".." || component.find(u'\0') != component.npos) {
      return false;
    }
    if (!component.empty() && component.find_first_not_of(u". ") == component.npos) return false;
    rest = rest.substr(std::min(rest.size(), end + 1));
  }
  return true;
}

class MemoryReader final : public IFileReader {
 public:
  MemoryReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  std::optional<size_t> ReadAt(uint64_t offset, void* out, size_t size) override {
    if (offset >= m_size) return 0;
    const size_t take = std::min<uint64_t>(size, m_size - offset);
    std::memcpy(out, m_data + offset, take);
    return take;
  }
  std::optional<uint64_t> Size() override { return m_size; }

 private:
  const uint8_t* m_data;
  size_t m_size;
};

// A name the extractor makes under the target: inside it, and the same file on every port.
void CheckMade(std::u16string_view path, const char* what) {
  Check(StaysInside(path), what);
  Check(IsPortablePath(path.substr(kTarget.size())), "a name Windows reads as something else");
}

class NullWriter final : public IFileWriter {
 public:
  explicit NullWriter(uint64_t& written) : m_written(written) {}
  bool Write(const void*, size_t size) override {
    m_size += size;
    m_written += size;
    return m_size <= kFileLimit;
  }
  bool Truncate() override { return m_size = 0, true; }
  bool Reserve(uint64_t size) override {
    Check(size <= kReserveLimit, "room set aside beyond what the entry's data can inflate to");
    return true;
  }
  uint64_t Size() const override { return m_size; }
  bool Close() override { return true; }

 private:
  uint64_t m_size = 0;
  uint64_t& m_written;
};

class MemoryFiles final : public IFileSystem {
 public:
  std::map<std::u16string, uint32_t> entries;
  uint64_t written = 0;  // by every file of the archive

  std::optional<uint32_t> GetAttributes(std::u16string_view path) override {
    const auto it = entries.find(std::u16string(path));
    if (it == entries.end()) return std::nullopt;
    return it->second;
  }
  std::optional<FoundEntry> FindFirst(std::u16string_view) override { return std::nullopt; }
  bool CreateFolder(std::u16string_view path) override {
    CheckMade(path, "folder outside the target");
    return entries.emplace(std::u16string(path), kAttrDirectory).second;
  }
  bool Remove(std::u16string_view path) override {
    Check(StaysInside(path), "removal outside the target");
    return entries.erase(std::u16string(path)) == 1;
  }
  bool Copy(std::u16string_view, std::u16string_view) override { return false; }
  bool Move(std::u16string_view source, std::u16string_view target) override {
    CheckMade(target, "file moved outside the target");
    Check(target.size() > kTarget.size(), "file moved onto the target");
    const auto it = entries.find(std::u16string(source));
    if (it == entries.end()) return false;
    const uint32_t attributes = it->second;
    entries.erase(it);
    entries[std::u16string(target)] = attributes;
    return true;
  }
  std::optional<std::string> ReadAll(std::u16string_view) override { return std::nullopt; }
  bool ReplaceContents(std::u16string_view, std::string_view) override { return false; }
  std::unique_ptr<IFileWriter> OpenForAppend(std::u16string_view) override { return nullptr; }
  std::unique_ptr<IFileReader> OpenForReading(std::u16string_view) override { return nullptr; }
  std::unique_ptr<IFileWriter> CreateWithAttributes(std::u16string_view path,
                                                    uint32_t attributes) override {
    CheckMade(path, "file outside the target");
    Check(path.size() > kTarget.size(), "file made as the target");
    Check(!(attributes & kAttrDirectory), "a file made with the folder attribute");
    const auto it = entries.find(std::u16string(path));
    if (it != entries.end() && (it->second & (kAttrDirectory | kAttrReadOnly))) return nullptr;
    entries[std::u16string(path)] = attributes;
    return std::make_unique<NullWriter>(written);
  }
  bool SetTimes(std::u16string_view path, const FileTimes&) override {
    Check(entries.count(std::u16string(path)) == 1, "times set on a file never created");
    return true;
  }
  bool SetAttributes(std::u16string_view path, uint32_t attributes) override {
    Check(entries.count(std::u16string(path)) == 1, "attributes set on a file never created");
    entries[std::u16string(path)] = attributes;
    return true;
  }
  std::optional<int64_t> LocalTimeToFileTime(const LocalTime& local) override {
    if (local.month < 1 || local.month > 12 || local.day < 1 || local.day > 31) return {};
    return int64_t{local.year} * 10000000;
  }
  std::u16string ExecutablePath() override { return u"/zeva"; }
};

ITextCodec& Codec() {
  static std::unique_ptr<ITextCodec> codec = CreateTextCodec();
  return *codec;
}

void FuzzName(const uint8_t* data, size_t size) {
  const std::u16string name = DecodeEntryName(
      std::string_view(reinterpret_cast<const char*>(data), size), size % 2, Codec());
  if (name.find(u'\0') != name.npos) return;  // refused before cleaning
  const std::u16string cleaned = CleanEntryName(name);
  Check(cleaned.empty() || !IsSeparator(cleaned[0]), "cleaned name starts with a separator");
  Check(cleaned.size() < 2 || cleaned[1] != u':', "cleaned name starts with a drive");
  Check(StaysInside(kTarget + cleaned), "cleaned name climbs out");
}

}  // namespace
}  // namespace zeva

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zeva;
  if (size < 512) FuzzName(data, size);
  MemoryFiles files;
  ArchiveExtractor extractor(files, Codec());
  if (!extractor.OpenArchive(std::make_unique<MemoryReader>(data, size))) return 0;
  extractor.SetTargetFolder(kTarget);
  const std::optional<uint64_t> count = extractor.EntryCount();
  if (!count) return 0;
  for (uint64_t index = 0; index < *count && index < 10000; ++index) {
    if (!extractor.GetEntry(index) || extractor.ExtractEntry(index) != ExtractResult::kOk) break;
  }
  // Entries never share data, so together they hold at most the archive's bytes.
  Check(files.written <= kDeflateRatio * size, "more written than the archive can inflate to");
  return 0;
}
