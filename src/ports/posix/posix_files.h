#pragma once

#include "platform/disk_space.h"
#include "platform/files.h"

namespace zeva::posix {

class PosixFileSystem final : public IFileSystem {
 public:
  std::optional<uint32_t> GetAttributes(std::u16string_view path) override;
  std::optional<FoundEntry> FindFirst(std::u16string_view pattern) override;
  bool CreateFolder(std::u16string_view path) override;
  bool Remove(std::u16string_view path) override;
  bool Copy(std::u16string_view source, std::u16string_view target) override;
  bool Move(std::u16string_view source, std::u16string_view target) override;
  std::optional<std::string> ReadAll(std::u16string_view path) override;
  bool ReplaceContents(std::u16string_view path, std::string_view bytes) override;
  std::unique_ptr<IFileWriter> OpenForAppend(std::u16string_view path) override;
  std::unique_ptr<IFileReader> OpenForReading(std::u16string_view path) override;
  std::unique_ptr<IFileWriter> CreateWithAttributes(std::u16string_view path,
                                                    uint32_t attributes) override;
  bool SetTimes(std::u16string_view path, const FileTimes& times) override;
  bool SetAttributes(std::u16string_view path, uint32_t attributes) override;
  std::optional<int64_t> LocalTimeToFileTime(const LocalTime& local) override;
  std::u16string ExecutablePath() override;
};

// statvfs: the blocks left to unprivileged users.
class PosixDiskSpace final : public IDiskSpace {
 public:
  std::optional<uint64_t> FreeBytes(std::u16string_view folder) override;
};

// Windows wildcard matching of one name: `*` and `?`, letter case ignored, "*.*" is "*".
bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name);

}  // namespace zeva::posix
