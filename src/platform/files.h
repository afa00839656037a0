// Files and folders, as the core asks for them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zeva {

// Windows file attribute bits; the POSIX port maps what it can (read-only, directory).
enum FileAttribute : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};

// File times in Windows units: 100 ns intervals since 1601-01-01 UTC.
struct FileTimes {
  std::optional<int64_t> creation;
  std::optional<int64_t> lastAccess;
  std::optional<int64_t> lastWrite;
};

// A calendar date and time of day as the user's clock shows it (month and day from 1).
struct LocalTime {
  int year = 1601;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

struct FoundEntry {
  std::u16string name;  // the name only, without its folder
  uint32_t attributes = 0;
};

// An open file that is written at its end. Readers may share it; other writers are refused.
class IFileWriter {
 public:
  virtual ~IFileWriter() = default;
  virtual bool Write(const void* data, size_t size) = 0;
  // Empties the file and writes from its start again.
  virtual bool Truncate() = 0;
  // Sets aside room on the disk for `size` more bytes without changing the file's size, where
  // the system gains from knowing ahead; false when nothing was set aside. Room left unused
  // goes with the file (or when it is closed).
  virtual bool Reserve(uint64_t size) = 0;
  virtual uint64_t Size() const = 0;
  // Flushes and closes; false when the data may not have reached the file.
  virtual bool Close() = 0;
};

// An open file read at any offset. Other readers may share it; writers are refused.
class IFileReader {
 public:
  virtual ~IFileReader() = default;
  // Reads up to `size` bytes at `offset`: the count read (0 past the end), nothing on error.
  virtual std::optional<size_t> ReadAt(uint64_t offset, void* data, size_t size) = 0;
  virtual std::optional<uint64_t> Size() = 0;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  // Attributes of an existing file or folder; nothing when it does not exist.
  virtual std::optional<uint32_t> GetAttributes(std::u16string_view path) = 0;
  // The first entry matching the pattern; `*` and `?` in the last component, matched the
  // Windows way (letter case ignored, "*.*" matches every name).
  virtual std::optional<FoundEntry> FindFirst(std::u16string_view pattern) = 0;
  virtual bool CreateFolder(std::u16string_view path) = 0;
  virtual bool Remove(std::u16string_view path) = 0;
  // Copies a file; an existing target is replaced.
  virtual bool Copy(std::u16string_view source, std::u16string_view target) = 0;
  // Renames source to target, replacing an existing target in one step: either the old
  // target or the new file is there at every moment.
  virtual bool Move(std::u16string_view source, std::u16string_view target) = 0;
  // The whole file, or nothing when it cannot be read.
  virtual std::optional<std::string> ReadAll(std::u16string_view path) = 0;
  // Replaces the file's contents through a temporary file in the same folder; on failure
  // the old file is untouched. A read-only file is not replaced.
  virtual bool ReplaceContents(std::u16string_view path, std::string_view bytes) = 0;
  // Opens (creating if needed) for writing at the end; shares reading, refuses writers.
  virtual std::unique_ptr<IFileWriter> OpenForAppend(std::u16string_view path) = 0;
  // Opens an existing file for reading, shared with other readers.
  virtual std::unique_ptr<IFileReader> OpenForReading(std::u16string_view path) = 0;
  // Creates the file afresh (replacing any existing one) with the given attributes. An
  // existing read-only file or a folder is not replaced.
  virtual std::unique_ptr<IFileWriter> CreateWithAttributes(std::u16string_view path,
                                                            uint32_t attributes) = 0;
  virtual bool SetTimes(std::u16string_view path, const FileTimes& times) = 0;
  // Gives an existing file the read-only, hidden, system and archive bits of `attributes`
  // (ports without the last three set only read-only).
  virtual bool SetAttributes(std::u16string_view path, uint32_t attributes) = 0;
  // A local time as a file time (UTC), by the system's time zone rules for that date;
  // nothing when the fields are out of range or the system cannot convert them.
  virtual std::optional<int64_t> LocalTimeToFileTime(const LocalTime& local) = 0;
  // Full path of the running executable.
  virtual std::u16string ExecutablePath() = 0;
};

}  // namespace zeva
