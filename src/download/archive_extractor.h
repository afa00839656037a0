// ZIP extraction for pages: every entry of an archive into a target folder, with the
// archive's folders, attributes and times, never outside the target folder.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "download/entry_metadata.h"
#include "platform/platform.h"

namespace zeva {

class ArchiveInput;
struct Inflater;

// What one entry holds, as read from its central-directory record and local header.
struct EntryInfo {
  uint64_t index = 0;
  std::u16string name;  // cleaned: relative to the target folder, the port's separator
  uint32_t attributes = 0;
  FileTimes times;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint32_t crc = 0;
  bool deflated = false;    // else stored
  uint64_t dataOffset = 0;  // where the entry's data starts in the archive
  bool encrypted = false;
};

enum class ExtractResult {
  kOk,
  kBadEntry,      // the entry's information cannot be read, or its name is unusable
  kCreateFailed,  // the file cannot be created (read-only file, folder in the way, in use)
  kEncrypted,     // no password is ever given
  kDataError,     // unreadable or corrupt data, wrong size, CRC mismatch
  kWriteFailed,   // the disk refused the data
};

class ArchiveExtractor {
 public:
  ArchiveExtractor(IFileSystem& files, ITextCodec& codec);
  ~ArchiveExtractor();
  ArchiveExtractor(const ArchiveExtractor&) = delete;
  ArchiveExtractor& operator=(const ArchiveExtractor&) = delete;

  // Opens an existing archive for reading (shared with other readers); false when it
  // cannot be opened, is no readable ZIP archive, or two of its entries share bytes (or one
  // runs into the central directory or past it). Every entry's local header is read here.
  bool OpenArchive(std::u16string_view path);
  bool OpenArchive(std::unique_ptr<IFileReader> reader);
  // Entries land under `folder`; a separator is added unless it ends in one.
  void SetTargetFolder(std::u16string_view folder);
  const std::u16string& TargetFolder() const { return m_target; }
  std::optional<uint64_t> EntryCount();
  // The entry's information; the last one read is kept, so asking again costs nothing.
  const EntryInfo* GetEntry(uint64_t index);
  // Creates the folder or writes the file of one entry, with its attributes and times. The
  // file is written as "<name>.zeva-part" beside its place and takes the name only once its
  // size and CRC checked out; a failed entry removes its part and leaves the file that was
  // there before.
  ExtractResult ExtractEntry(uint64_t index);
  void CloseArchive();

 private:
  // What an entry's local header says, read for every entry when the archive opens.
  struct LocalHeader {
    uint64_t dataOffset = 0;
    ExtendedTimestamp timestamp;
    bool readable = false;  // else the header or its extra field is damaged: the entry fails
  };

  bool ReadLocalHeaders();
  bool MoveTo(uint64_t index);
  ExtractResult WriteEntryData(IFileWriter& writer, const EntryInfo& entry);
  ExtractResult WriteStored(IFileWriter& writer, const EntryInfo& entry, uint32_t& crc);
  ExtractResult WriteDeflated(IFileWriter& writer, const EntryInfo& entry, uint32_t& crc);
  // Creates every folder of `path` under the target that this extraction has not made or
  // met yet; `fresh` forgets what it knew first (a folder may have gone meanwhile).
  void EnsureFolders(std::u16string_view path, bool fresh = false);

  IFileSystem& m_files;
  ITextCodec& m_codec;
  std::unique_ptr<ArchiveInput> m_input;
  void* m_archive = nullptr;  // minizip's unzFile
  uint64_t m_current = 0;     // the entry minizip stands on, when m_positioned
  bool m_positioned = false;
  bool m_empty = false;  // a valid archive minizip does not open: no entries
  std::u16string m_target;
  std::optional<EntryInfo> m_kept;
  std::vector<LocalHeader> m_locals;  // one for each entry the central directory reaches
  std::string m_name;                 // room for any stored name: the last one read
  std::unique_ptr<unsigned char[]> m_output;
  std::unique_ptr<unsigned char[]> m_compressed;
  std::unique_ptr<Inflater> m_inflater;
  std::unordered_set<std::u16string> m_knownFolders;  // made or found during this extraction
  std::unordered_map<uint32_t, std::optional<int64_t>> m_localTimes;  // DOS time: file time
};

// Extracts every entry of `archive` into `folder`, in central-directory order: 1 when all
// were extracted (an archive with no entries too), 0 at the first failure, with the entries
// before it left on disk. A missing `folder` ending in a separator is created whole; without
// one, its parent is created here and the folder itself with the first entry.
int32_t UnzipFile(const Platform& platform, std::u16string_view archive,
                  std::u16string_view folder);

}  // namespace zeva
