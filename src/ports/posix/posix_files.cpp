#include "ports/posix/posix_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <vector>

#include "platform/unicode.h"
#include "ports/posix/posix_path.h"

namespace zeva::posix {
namespace {

// Windows file times count 100 ns from 1601-01-01; Unix time counts seconds from 1970.
constexpr int64_t kEpochDifference = 11644473600LL;

uint32_t AttributesOf(const struct stat& st) {
  uint32_t attributes = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
  if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) attributes |= kAttrReadOnly;
  return attributes;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (AttributesOf(st) & kAttrReadOnly);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Writes a temporary file beside `target` and renames it over `target`, so readers see the
// old or the new file, never a part. `fill` writes the contents into the descriptor.
template <typename Fill>
bool WriteAndRename(const std::string& target, mode_t mode, Fill fill) {
  std::string temp = target + ".zeva-XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  bool ok = fill(fd) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(name.data(), target.c_str()) == 0) return true;
  ::unlink(name.data());
  return false;
}

// The mode a new file gets. The mask is read, not set and restored: another thread may be
// creating files at the same moment.
mode_t NewFileMode() {
  mode_t mask = 022;
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      unsigned value = 0;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value);
        break;
      }
    }
    std::fclose(status);
  }
  return 0666 & ~mask;
}

class PosixFileWriter final : public IFileWriter {
 public:
  explicit PosixFileWriter(int fd) : m_fd(fd) {}
  ~PosixFileWriter() override { Close(); }

  bool Write(const void* data, size_t size) override {
    return m_fd >= 0 && WriteAll(m_fd, static_cast<const char*>(data), size);
  }
  bool Truncate() override { return m_fd >= 0 && ::ftruncate(m_fd, 0) == 0; }
  // Blocks allocated now spare ext4 its delayed allocation, which a rename over an existing
  // file would otherwise force out at once (auto_da_alloc), and keep the file in one piece.
  // A file system in memory gains nothing and would fill its pages twice.
  bool Reserve(uint64_t size) override {
    if (m_fd < 0 || size == 0 || size > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
      return false;
    }
    struct statfs volume {};
    if (::fstatfs(m_fd, &volume) != 0 || volume.f_type == TMPFS_MAGIC ||
        volume.f_type == RAMFS_MAGIC) {
      return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return false;
    return ::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, st.st_size, static_cast<off_t>(size)) == 0;
  }
  uint64_t Size() const override {
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }
  bool Close() override {
    if (m_fd < 0) return true;
    const bool ok = ::close(m_fd) == 0;
    m_fd = -1;
    return ok;
  }

 private:
  int m_fd;
};

class PosixFileReader final : public IFileReader {
 public:
  explicit PosixFileReader(int fd) : m_fd(fd) {}
  ~PosixFileReader() override { ::close(m_fd); }

  std::optional<size_t> ReadAt(uint64_t offset, void* data, size_t size) override {
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return 0;
    for (;;) {
      const ssize_t got = ::pread(m_fd, data, size, static_cast<off_t>(offset));
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) return std::nullopt;
    }
  }
  std::optional<uint64_t> Size() override {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
  }

 private:
  int m_fd;
};

// Opens a regular file for reading. A FIFO or device is refused before anything can block
// on it (opening a FIFO for reading waits for a writer).
int OpenRegularForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// The file a path names: a symbolic link is followed, so that replacing the file keeps the
// link (and the file it points to) instead of putting a plain file in its place.
std::string ReplacementTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

bool CopyContents(int from, int to) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, buffer, static_cast<size_t>(got))) return false;
  }
}

}  // namespace

bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name) {
  if (pattern == u"*.*") pattern = u"*";
  // Iterative matching with one backtrack point: linear in practice, no recursion.
  size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

std::optional<uint32_t> PosixFileSystem::GetAttributes(std::u16string_view path) {
  struct stat st {};
  if (::stat(ToNativePath(path).c_str(), &st) != 0) return std::nullopt;
  return AttributesOf(st);
}

std::optional<FoundEntry> PosixFileSystem::FindFirst(std::u16string_view pattern) {
  const std::string native = ToNativePath(pattern);
  const size_t slash = native.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : native.substr(0, slash + 1);
  const std::string last = slash == std::string::npos ? native : native.substr(slash + 1);
  if (last.empty()) return std::nullopt;  // a name ending in a separator finds nothing

  if (last.find_first_of("*?") == std::string::npos) {
    struct stat st {};
    if (::stat(native.c_str(), &st) == 0) return FoundEntry{Utf8ToUtf16(last), AttributesOf(st)};
  }
  // Wildcards, or a name whose letter case differs from the one on disk: the smallest match
  // in letter-case-insensitive order, so the answer does not depend on directory order.
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return std::nullopt;
  const std::u16string wanted = Utf8ToUtf16(last);
  std::optional<std::u16string> best;
  std::string bestNative;
  while (const dirent* entry = ::readdir(dir)) {
    const std::u16string name = Utf8ToUtf16(entry->d_name);
    if (!MatchesWildcard(wanted, name)) continue;
    std::u16string folded;
    for (char16_t c : name) folded += FoldCase(c);
    if (!best || folded < *best) {
      best = std::move(folded);
      bestNative = entry->d_name;
    }
  }
  ::closedir(dir);
  if (!best) return std::nullopt;
  struct stat st {};
  if (::stat((folder + bestNative).c_str(), &st) != 0) return std::nullopt;
  return FoundEntry{Utf8ToUtf16(bestNative), AttributesOf(st)};
}

bool PosixFileSystem::CreateFolder(std::u16string_view path) {
  return ::mkdir(ToNativePath(path).c_str(), 0777) == 0;
}

bool PosixFileSystem::Remove(std::u16string_view path) {
  const std::string native = ToNativePath(path);
  struct stat st {};
  // Only files, as on Windows; a read-only file is not deleted there either.
  if (::lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (S_ISREG(st.st_mode) && (AttributesOf(st) & kAttrReadOnly)) return false;
  return ::unlink(native.c_str()) == 0;
}

bool PosixFileSystem::Copy(std::u16string_view source, std::u16string_view target) {
  const std::string from = ToNativePath(source);
  const std::string to = ReplacementTarget(ToNativePath(target));
  const int in = OpenRegularForReading(from);
  if (in < 0) return false;
  struct stat st {
  }, targetStat{};
  bool ok = ::fstat(in, &st) == 0 && S_ISREG(st.st_mode);
  if (ok && ::stat(to.c_str(), &targetStat) == 0) {
    const bool same = targetStat.st_dev == st.st_dev && targetStat.st_ino == st.st_ino;
    ok = !same && !S_ISDIR(targetStat.st_mode) && !(AttributesOf(targetStat) & kAttrReadOnly);
  }
  ok = ok && WriteAndRename(to, st.st_mode & 07777, [&](int out) { return CopyContents(in, out); });
  ::close(in);
  return ok;
}

bool PosixFileSystem::Move(std::u16string_view source, std::u16string_view target) {
  const std::string from = ToNativePath(source);
  const std::string to = ToNativePath(target);
  if (IsReadOnlyFile(to)) return false;
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  struct stat st {};
  if (errno != EXDEV || ::lstat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // Another file system: copy beside the target, rename over it, then drop the source.
  if (!Copy(source, target)) return false;
  return ::unlink(from.c_str()) == 0;
}

std::optional<std::string> PosixFileSystem::ReadAll(std::u16string_view path) {
  const int fd = OpenRegularForReading(ToNativePath(path));
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ::close(fd);
      if (got < 0) return std::nullopt;
      return bytes;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

bool PosixFileSystem::ReplaceContents(std::u16string_view path, std::string_view bytes) {
  const std::string native = ReplacementTarget(ToNativePath(path));
  struct stat st {};
  mode_t mode = NewFileMode();
  if (::stat(native.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) || (AttributesOf(st) & kAttrReadOnly)) return false;
    mode = st.st_mode & 07777;
  }
  return WriteAndRename(native, mode,
                        [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

std::unique_ptr<IFileWriter> PosixFileSystem::OpenForAppend(std::u16string_view path) {
  const int fd =
      ::open(ToNativePath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  // Other writers (through this layer) are refused while the file is open.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFileWriter>(fd);
}

std::unique_ptr<IFileReader> PosixFileSystem::OpenForReading(std::u16string_view path) {
  const int fd = OpenRegularForReading(ToNativePath(path));
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFileReader>(fd);
}

std::unique_ptr<IFileWriter> PosixFileSystem::CreateWithAttributes(std::u16string_view path,
                                                                   uint32_t attributes) {
  const std::string native = ToNativePath(path);
  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
  // A new name, the usual case, costs one call; an existing one is looked at first.
  int fd = ::open(native.c_str(), kFlags, 0666);
  if (fd < 0) {
    struct stat st {};
    if (errno != EEXIST || ::lstat(native.c_str(), &st) != 0) return nullptr;
    // A read-only file is refused as Windows refuses it, also to root, who could unlink it.
    if (S_ISDIR(st.st_mode)) return nullptr;
    if (S_ISREG(st.st_mode) && (AttributesOf(st) & kAttrReadOnly)) return nullptr;
    if (::unlink(native.c_str()) != 0) return nullptr;
    fd = ::open(native.c_str(), kFlags, 0666);
  }
  if (fd < 0) return nullptr;
  // The descriptor stays writable after the permission bits drop.
  if (attributes & kAttrReadOnly) ::fchmod(fd, NewFileMode() & ~0222);
  return std::make_unique<PosixFileWriter>(fd);
}

bool PosixFileSystem::SetTimes(std::u16string_view path, const FileTimes& times) {
  auto toTimespec = [](const std::optional<int64_t>& t) {
    timespec ts{};
    if (!t) {
      ts.tv_nsec = UTIME_OMIT;
      return ts;
    }
    int64_t seconds = *t / 10000000 - kEpochDifference;
    int64_t rest = *t % 10000000;
    if (rest < 0) rest += 10000000, --seconds;
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>(rest * 100);
    return ts;
  };
  // Creation time has no place on most POSIX file systems and is dropped.
  const timespec values[2] = {toTimespec(times.lastAccess), toTimespec(times.lastWrite)};
  return ::utimensat(AT_FDCWD, ToNativePath(path).c_str(), values, 0) == 0;
}

bool PosixFileSystem::SetAttributes(std::u16string_view path, uint32_t attributes) {
  const std::string native = ToNativePath(path);
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  // Read-only drops every write bit; writable gives back those a new file would have.
  const mode_t mode = (attributes & kAttrReadOnly) ? st.st_mode & 07555
                                                   : (st.st_mode & 07777) | (NewFileMode() & 0222);
  return (st.st_mode & 07777) == mode || ::chmod(native.c_str(), mode) == 0;
}

std::optional<int64_t> PosixFileSystem::LocalTimeToFileTime(const LocalTime& local) {
  if (local.month < 1 || local.month > 12 || local.day < 1 || local.day > 31 || local.hour < 0 ||
      local.hour > 23 || local.minute < 0 || local.minute > 59 || local.second < 0 ||
      local.second > 59) {
    return std::nullopt;
  }
  std::tm fields{};
  fields.tm_year = local.year - 1900;
  fields.tm_mon = local.month - 1;
  fields.tm_mday = local.day;
  fields.tm_hour = local.hour;
  fields.tm_min = local.minute;
  fields.tm_sec = local.second;
  fields.tm_isdst = -1;  // the rules in force on that date decide
  const std::time_t utc = std::mktime(&fields);
  if (utc == static_cast<std::time_t>(-1)) return std::nullopt;
  // mktime moves a 30th of February on to March; Windows refuses it.
  if (fields.tm_mday != local.day || fields.tm_mon != local.month - 1) return std::nullopt;
  return (static_cast<int64_t>(utc) + kEpochDifference) * 10000000;
}

std::u16string PosixFileSystem::ExecutablePath() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) {
      return Utf8ToUtf16(std::string_view(buffer.data(), static_cast<size_t>(length)));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<uint64_t> PosixDiskSpace::FreeBytes(std::u16string_view folder) {
  struct statvfs volume {};
  if (::statvfs(ToNativePath(folder).c_str(), &volume) != 0) return std::nullopt;
  return static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize;
}

}  // namespace zeva::posix
