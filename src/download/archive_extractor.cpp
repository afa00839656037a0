#include "download/archive_extractor.h"

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "download/archive_input.h"
#include "download/entry_metadata.h"
#include "download/entry_name.h"
#include "game/paths.h"
#include "platform/path_style.h"

namespace zeva {
namespace {

// Entry data is read in pieces of up to kCompressedSize bytes and inflated into pieces of
// up to kOutputSize, each written with one call: large enough that system calls and zlib's
// copies into its window are rare, small enough to stay in the processor's cache.
constexpr size_t kCompressedSize = 128 * 1024;
constexpr size_t kOutputSize = 256 * 1024;
// The most bytes deflate makes of one compressed byte.
constexpr uint64_t kDeflateRatio = 1032;
constexpr uLong kUtf8NamesFlag = 0x0800;
constexpr uLong kEncryptedFlag = 0x0001;
constexpr uLong kDataDescriptorFlag = 0x0008;
constexpr uint64_t kLocalHeaderSize = 30;
constexpr size_t kLongestName = 0xFFFF;
// A data descriptor holds at least a CRC and two 4-byte sizes; its signature is optional.
constexpr uint64_t kShortestDescriptor = 12;
// An entry's data is written to its name followed by this, beside it.
constexpr char16_t kPartSuffix[] = u".zeva-part";

bool IsSeparator(char16_t c) {
  return c == u'/' || c == u'\\';
}

bool IsFolder(IFileSystem& files, std::u16string_view path) {
  const std::optional<uint32_t> attributes = files.GetAttributes(path);
  return attributes && (*attributes & kAttrDirectory);
}

// minizip takes an end record at offset 0 for none at all, so it refuses the archive with no
// entries (22 bytes, perhaps a comment), which other tools make and read.
bool IsEmptyArchive(ArchiveInput& input) {
  unsigned char record[22];
  if (!input.Seek(0, ZLIB_FILEFUNC_SEEK_SET) ||
      input.Read(record, sizeof record) != sizeof record) {
    return false;
  }
  const auto field = [&](size_t at) { return record[at] | record[at + 1] << 8; };
  const bool signature = record[0] == 'P' && record[1] == 'K' && record[2] == 5 && record[3] == 6;
  const bool noEntries = field(8) == 0 && field(10) == 0 && field(12) == 0 && field(14) == 0 &&
                         field(16) == 0 && field(18) == 0;
  unsigned char rest;
  const size_t commentLength = static_cast<size_t>(field(20));
  const bool wholeFile =
      input.Seek(static_cast<int64_t>(sizeof record + commentLength), ZLIB_FILEFUNC_SEEK_SET) &&
      input.Read(&rest, 1) == 0 && input.Position() == sizeof record + commentLength;
  return signature && noEntries && wholeFile;
}

unzFile Zip(void* archive) {
  return static_cast<unzFile>(archive);
}

}  // namespace

// One raw-deflate stream, reset for each entry rather than made anew.
struct Inflater {
  z_stream stream{};
  bool ready = false;

  bool Reset() {
    if (!ready) {
      ready = inflateInit2(&stream, -MAX_WBITS) == Z_OK;
      return ready;
    }
    return inflateReset(&stream) == Z_OK;
  }
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

ArchiveExtractor::ArchiveExtractor(IFileSystem& files, ITextCodec& codec)
    : m_files(files), m_codec(codec) {}

ArchiveExtractor::~ArchiveExtractor() {
  CloseArchive();
}

bool ArchiveExtractor::OpenArchive(std::u16string_view path) {
  return OpenArchive(m_files.OpenForReading(path));
}

bool ArchiveExtractor::OpenArchive(std::unique_ptr<IFileReader> reader) {
  CloseArchive();
  if (!reader) return false;
  m_input = std::make_unique<ArchiveInput>(std::move(reader));
  if (m_input->Failed()) {
    m_input.reset();
    return false;
  }
  zlib_filefunc64_def functions = m_input->Functions();
  m_archive = unzOpen2_64("", &functions);
  if (!m_archive) {
    m_empty = IsEmptyArchive(*m_input);
    m_input.reset();
    return m_empty;
  }
  if (!ReadLocalHeaders()) {
    CloseArchive();
    return false;
  }
  m_positioned = false;
  return true;
}

// Every entry's local header is read once, here, before anything is written: where its data
// starts and its times. Each entry takes up its local header, its data and its data
// descriptor; an archive where two entries take up the same bytes, or one takes up bytes of
// the central directory or past it, is refused whole. Entries sharing data would have it
// written again for each of them: a few kilobytes of archive made into gigabytes. The
// directory and the headers only are read, never the data.
bool ArchiveExtractor::ReadLocalHeaders() {
  m_locals.clear();
  const std::optional<uint64_t> count = EntryCount();
  unzFile zip = Zip(m_archive);
  m_input->ResetLowestRead();
  if (!count || *count == 0 || unzGoToFirstFile(zip) != UNZ_OK) return true;  // nothing to write
  // The directory runs from its first record to the end records at the end of the file.
  const uint64_t directoryStart = m_input->LowestRead();

  struct Span {
    uint64_t start, end;
  };
  std::vector<Span> spans;
  std::string extra;
  for (uint64_t index = 0; index < *count; ++index) {
    // A record that cannot be read ends the walk, as it ends the extraction: no entry after
    // it can be reached.
    if (index > 0 && unzGoToNextFile(zip) != UNZ_OK) break;
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) break;
    LocalHeader& local = m_locals.emplace_back();
    // Raw: the header is checked against its record, and no inflater is set up for it. A
    // damaged header, or an extra field that cannot be read, fails the entry when its turn
    // comes; nothing of it is ever read or written.
    if (unzOpenCurrentFile2(zip, nullptr, nullptr, 1) != UNZ_OK) continue;
    const uint64_t dataOffset = unzGetCurrentFileZStreamPos64(zip);
    const int extraSize = unzGetLocalExtrafield(zip, nullptr, 0);
    extra.assign(extraSize > 0 ? static_cast<size_t>(extraSize) : 0, '\0');
    const bool extraRead =
        extraSize >= 0 &&
        (extra.empty() || unzGetLocalExtrafield(zip, extra.data(),
                                                static_cast<unsigned>(extra.size())) == extraSize);
    unzCloseCurrentFile(zip);
    if (!extraRead) continue;

    // minizip has checked that the local name is as long as the central one; the local
    // extra field is the local header's own, often longer or shorter than the central one.
    const uint64_t headerSize = kLocalHeaderSize + info.size_filename + extra.size();
    const uint64_t trailer = (info.flag & kDataDescriptorFlag) ? kShortestDescriptor : 0;
    if (dataOffset < headerSize || dataOffset > directoryStart ||
        info.compressed_size > directoryStart - dataOffset ||
        trailer > directoryStart - dataOffset - info.compressed_size) {
      return false;
    }
    spans.push_back({dataOffset - headerSize, dataOffset + info.compressed_size + trailer});
    local.dataOffset = dataOffset;
    local.timestamp = ReadExtendedTimestamp(extra);
    local.readable = true;
  }
  // Archives list their entries in the order they lie in, mostly: sorted, neighbours tell.
  std::sort(spans.begin(), spans.end(),
            [](const Span& a, const Span& b) { return a.start < b.start; });
  for (size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].start < spans[i - 1].end) return false;
  }
  return true;
}

void ArchiveExtractor::SetTargetFolder(std::u16string_view folder) {
  m_target = folder;
  if (m_target.empty() || !IsSeparator(m_target.back())) m_target += kPathSeparator;
  m_knownFolders.clear();
}

std::optional<uint64_t> ArchiveExtractor::EntryCount() {
  if (m_empty) return 0;
  unz_global_info64 info{};
  if (!m_archive || unzGetGlobalInfo64(Zip(m_archive), &info) != UNZ_OK) return std::nullopt;
  return info.number_entry;
}

bool ArchiveExtractor::MoveTo(uint64_t index) {
  // Entries are visited in central-directory order, so this is one step forward each time.
  if (!m_positioned || index < m_current) {
    m_positioned = unzGoToFirstFile(Zip(m_archive)) == UNZ_OK;
    m_current = 0;
  }
  while (m_positioned && m_current < index) {
    m_positioned = unzGoToNextFile(Zip(m_archive)) == UNZ_OK;
    ++m_current;
  }
  return m_positioned;
}

const EntryInfo* ArchiveExtractor::GetEntry(uint64_t index) {
  if (m_kept && m_kept->index == index) return &*m_kept;
  m_kept.reset();
  if (!m_archive || index >= m_locals.size() || !MoveTo(index)) return nullptr;
  unzFile zip = Zip(m_archive);

  // The record is read once here (the directory was walked once already, when the archive
  // opened), into a buffer that holds any name: a name's length is a 16-bit field.
  if (m_name.empty()) m_name.resize(kLongestName + 1);
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(zip, &info, m_name.data(), static_cast<uLong>(m_name.size()), nullptr,
                              0, nullptr, 0) != UNZ_OK) {
    return nullptr;
  }
  const std::string_view stored(m_name.data(), info.size_filename);
  // Only stored and deflated data can be read: minizip would hand out other methods' bytes
  // raw, unchecked, or loop for ever on them.
  if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) return nullptr;
  const LocalHeader& local = m_locals[index];
  if (!local.readable) return nullptr;

  const std::u16string name = DecodeEntryName(stored, info.flag & kUtf8NamesFlag, m_codec);
  // A name holding NUL would be cut short by the system, to a path the cleaning never saw.
  if (name.find(u'\0') != std::u16string::npos) return nullptr;

  EntryInfo entry;
  entry.index = index;
  entry.name = CleanEntryName(name);
  // A device, a stream or a name Windows trims would be another file there than here (or
  // none): the entry fails on every port, so both make the same files.
  if (!IsPortablePath(entry.name)) return nullptr;
  entry.attributes = MapEntryAttributes(static_cast<uint16_t>(info.version),
                                        static_cast<uint32_t>(info.external_fa));
  // Every ZIP tool treats a name ending in a separator as a folder, whatever its attributes.
  if (!name.empty() && IsSeparator(name.back())) entry.attributes |= kAttrDirectory;
  // The system's conversion reads the zone rules anew on every call (a file system look-up
  // each time on POSIX); entries of one archive share their times often.
  const auto dosDate = static_cast<uint32_t>(info.dosDate);
  auto known = m_localTimes.find(dosDate);
  if (known == m_localTimes.end()) {
    known = m_localTimes.emplace(dosDate, m_files.LocalTimeToFileTime(DosDateTimeToLocal(dosDate)))
                .first;
  }
  const std::optional<int64_t> dosTime = known->second;
  entry.times = {dosTime, dosTime, dosTime};
  ApplyExtendedTimestamp(local.timestamp, entry.times);
  entry.compressedSize = info.compressed_size;
  entry.uncompressedSize = info.uncompressed_size;
  entry.crc = static_cast<uint32_t>(info.crc);
  entry.deflated = info.compression_method == Z_DEFLATED;
  entry.dataOffset = local.dataOffset;
  entry.encrypted = info.flag & kEncryptedFlag;
  m_kept = std::move(entry);
  return &*m_kept;
}

ExtractResult ArchiveExtractor::ExtractEntry(uint64_t index) {
  const EntryInfo* entry = GetEntry(index);
  if (!entry || m_target.empty()) return ExtractResult::kBadEntry;
  const std::u16string& name = entry->name;
  // Cleaned names never start with a separator or a drive, so every path is made under the
  // target folder.
  if (entry->attributes & kAttrDirectory) {
    EnsureFolders(name);
    return ExtractResult::kOk;
  }
  if (entry->encrypted) return ExtractResult::kEncrypted;  // before an existing file is lost

  size_t split = name.size();
  while (split > 0 && !IsSeparator(name[split - 1])) --split;
  if (split == name.size()) return ExtractResult::kBadEntry;  // no file name left
  const std::u16string_view folder = std::u16string_view(name).substr(0, split);
  EnsureFolders(folder);

  const std::u16string path = m_target + name;
  // Checked here, before any data is written: the file itself is replaced by a rename,
  // which some systems would allow over a read-only file.
  const std::optional<uint32_t> existing = m_files.GetAttributes(path);
  if (existing && (*existing & (kAttrReadOnly | kAttrDirectory))) {
    return ExtractResult::kCreateFailed;
  }
  // Written beside its place and moved there only once it checked out, as the settings
  // file is: a damaged entry, a full disk or a killed process never leaves part of a file
  // under the entry's name, and the file that was there stays until then. The part stays
  // writable, so that it can be removed; the read-only bit comes once the file is in place.
  const std::u16string part = path + kPartSuffix;
  const uint32_t partAttributes = entry->attributes & ~kAttrReadOnly;
  std::unique_ptr<IFileWriter> writer = m_files.CreateWithAttributes(part, partAttributes);
  if (!writer && !folder.empty()) {
    // The folders this extraction knew may have gone since: made again, once.
    EnsureFolders(folder, true);
    writer = m_files.CreateWithAttributes(part, partAttributes);
  }
  if (!writer) return ExtractResult::kCreateFailed;
  ExtractResult result = WriteEntryData(*writer, *entry);
  const bool closed = writer->Close();
  if (result == ExtractResult::kOk && !closed) result = ExtractResult::kWriteFailed;
  if (result == ExtractResult::kOk &&
      (entry->times.creation || entry->times.lastAccess || entry->times.lastWrite)) {
    m_files.SetTimes(part, entry->times);
  }
  // A file in use cannot be replaced: that, like the file's creation, is a create failure.
  if (result == ExtractResult::kOk && !m_files.Move(part, path)) {
    result = ExtractResult::kCreateFailed;
  }
  if (result != ExtractResult::kOk) {
    m_files.Remove(part);
    return result;
  }
  if ((entry->attributes & kAttrReadOnly) && !m_files.SetAttributes(path, entry->attributes)) {
    return ExtractResult::kWriteFailed;
  }
  return ExtractResult::kOk;
}

ExtractResult ArchiveExtractor::WriteEntryData(IFileWriter& writer, const EntryInfo& entry) {
  if (!m_output) {
    m_output = std::make_unique<unsigned char[]>(kOutputSize);
    m_compressed = std::make_unique<unsigned char[]>(kCompressedSize);
  }
  uint32_t crc = 0;
  ExtractResult result = ExtractResult::kOk;
  // An empty file reads nothing, whatever data follows (minizip reads none either).
  if (entry.uncompressedSize > 0) {
    // Data said to run past the end of the archive fails, even where its stream ends before.
    const uint64_t size = m_input->Size();
    if (entry.dataOffset > size || entry.compressedSize > size - entry.dataOffset) {
      return ExtractResult::kDataError;
    }
    // Room for the file, set aside up front; no more than the data can inflate to, so a
    // recorded size that lies cannot take the disk (a failed entry's part goes, room and all).
    const uint64_t most = entry.deflated && entry.compressedSize <= UINT64_MAX / kDeflateRatio
                              ? entry.compressedSize * kDeflateRatio
                              : entry.compressedSize;
    writer.Reserve(std::min(entry.uncompressedSize, most));
    result = entry.deflated ? WriteDeflated(writer, entry, crc) : WriteStored(writer, entry, crc);
  }
  // Every byte the entry records came out, and no more, and they are the bytes it recorded.
  if (result == ExtractResult::kOk && crc != entry.crc) return ExtractResult::kDataError;
  return result;
}

ExtractResult ArchiveExtractor::WriteStored(IFileWriter& writer, const EntryInfo& entry,
                                            uint32_t& crc) {
  // A stored entry's data is its file; data that ends before the recorded size fails.
  if (entry.compressedSize < entry.uncompressedSize) return ExtractResult::kDataError;
  uint64_t done = 0;
  while (done < entry.uncompressedSize) {
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(kOutputSize, entry.uncompressedSize - done));
    const std::optional<size_t> got =
        m_input->ReadAt(entry.dataOffset + done, m_output.get(), want);
    if (!got || *got == 0) return ExtractResult::kDataError;
    crc = static_cast<uint32_t>(crc32_z(crc, m_output.get(), *got));
    if (!writer.Write(m_output.get(), *got)) return ExtractResult::kWriteFailed;
    done += *got;
  }
  return ExtractResult::kOk;
}

ExtractResult ArchiveExtractor::WriteDeflated(IFileWriter& writer, const EntryInfo& entry,
                                              uint32_t& crc) {
  if (!m_inflater) m_inflater = std::make_unique<Inflater>();
  if (!m_inflater->Reset()) return ExtractResult::kDataError;
  z_stream& stream = m_inflater->stream;
  stream.next_in = nullptr;
  stream.avail_in = 0;
  uint64_t read = 0;
  uint64_t total = 0;
  for (;;) {
    if (stream.avail_in == 0 && read < entry.compressedSize) {
      const size_t want =
          static_cast<size_t>(std::min<uint64_t>(kCompressedSize, entry.compressedSize - read));
      const std::optional<size_t> got =
          m_input->ReadAt(entry.dataOffset + read, m_compressed.get(), want);
      if (!got || *got == 0) return ExtractResult::kDataError;
      read += *got;
      stream.next_in = m_compressed.get();
      stream.avail_in = static_cast<uInt>(*got);
    }
    stream.next_out = m_output.get();
    stream.avail_out = static_cast<uInt>(kOutputSize);
    // Z_FINISH: an entry that fits the buffer is inflated without zlib keeping a window.
    const int status = inflate(&stream, Z_FINISH);
    const size_t produced = kOutputSize - stream.avail_out;
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
      return ExtractResult::kDataError;
    }
    // A stream longer than the recorded size fails before its excess is written.
    if (produced > entry.uncompressedSize - total) return ExtractResult::kDataError;
    if (produced > 0) {
      crc = static_cast<uint32_t>(crc32_z(crc, m_output.get(), produced));
      if (!writer.Write(m_output.get(), produced)) return ExtractResult::kWriteFailed;
      total += produced;
    }
    if (status == Z_STREAM_END) break;
    // No progress and nothing left to read: the stream ends before its end block.
    if (produced == 0 && stream.avail_in == 0 && read == entry.compressedSize) {
      return ExtractResult::kDataError;
    }
  }
  // A deflate stream that ends early looks whole: the size tells.
  return total == entry.uncompressedSize ? ExtractResult::kOk : ExtractResult::kDataError;
}

void ArchiveExtractor::EnsureFolders(std::u16string_view path, bool fresh) {
  // Failures are passed over: the folder may exist, and a missing one shows when the file
  // is created. Each folder is asked for once per extraction, not once per entry.
  if (fresh) m_knownFolders.clear();
  const auto ensure = [&](std::u16string_view folder) {
    std::u16string full = m_target + std::u16string(folder);
    if (m_knownFolders.count(full)) return;
    m_files.CreateFolder(full);
    m_knownFolders.insert(std::move(full));
  };
  ensure(u"");
  for (size_t i = 1; i < path.size(); ++i) {
    if (IsSeparator(path[i])) ensure(path.substr(0, i));
  }
  if (!path.empty() && !IsSeparator(path.back())) ensure(path);
}

void ArchiveExtractor::CloseArchive() {
  if (m_archive) unzClose(Zip(m_archive));
  m_archive = nullptr;
  m_input.reset();
  m_kept.reset();
  m_locals.clear();
  m_localTimes.clear();
  m_positioned = false;
  m_empty = false;
}

int32_t UnzipFile(const Platform& platform, std::u16string_view archive,
                  std::u16string_view folder) {
  if (archive.empty() || folder.empty()) return 0;
  if (!platform.files.FindFirst(archive)) return 0;
  // The archive is judged before anything is made: a refused one leaves no folder behind.
  ArchiveExtractor extractor(platform.files, platform.codec);
  if (!extractor.OpenArchive(archive)) return 0;
  if (!IsFolder(platform.files, folder)) {
    std::u16string parent = GetFolderPart(folder, false);
    if (parent.empty() && IsSeparator(folder.front())) parent = folder.substr(0, 1);  // "/x"
    if (!parent.empty()) MakeDirectoryPath(platform, parent);
    if (parent.empty() || !IsFolder(platform.files, parent)) return 0;
  }
  extractor.SetTargetFolder(folder);
  const std::optional<uint64_t> count = extractor.EntryCount();
  if (!count) return 0;
  for (uint64_t index = 0; index < *count; ++index) {
    if (!extractor.GetEntry(index) || extractor.ExtractEntry(index) != ExtractResult::kOk) {
      return 0;
    }
  }
  return 1;
}

}  // namespace zeva
