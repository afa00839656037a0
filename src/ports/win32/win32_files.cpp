#include "ports/win32/win32_files.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

class Win32FileWriter final : public IFileWriter {
 public:
  explicit Win32FileWriter(HANDLE file) : m_file(file) {}
  ~Win32FileWriter() override { Close(); }

  bool Write(const void* data, size_t size) override {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
      DWORD written = 0;
      const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
      if (!::WriteFile(m_file, bytes, chunk, &written, nullptr) || written == 0) return false;
      bytes += written;
      size -= written;
    }
    return true;
  }
  // NTFS has no delayed allocation that a replacing rename forces out, so there is nothing
  // to gain, and how Wine maps an allocation request onto its host is not one to rely on.
  bool Reserve(uint64_t) override { return false; }
  bool Truncate() override {
    LARGE_INTEGER zero{};
    return ::SetFilePointerEx(m_file, zero, nullptr, FILE_BEGIN) && ::SetEndOfFile(m_file);
  }
  uint64_t Size() const override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(m_file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
  }
  bool Close() override {
    if (m_file == INVALID_HANDLE_VALUE) return true;
    const bool ok = ::CloseHandle(m_file) != FALSE;
    m_file = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE m_file;
};

class Win32FileReader final : public IFileReader {
 public:
  explicit Win32FileReader(HANDLE file) : m_file(file) {}
  ~Win32FileReader() override { ::CloseHandle(m_file); }

  std::optional<size_t> ReadAt(uint64_t offset, void* data, size_t size) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD got = 0;
    if (::ReadFile(m_file, data, chunk, &got, &at)) return got;
    if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
    return std::nullopt;
  }
  std::optional<uint64_t> Size() override {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(m_file, &size)) return std::nullopt;
    return static_cast<uint64_t>(size.QuadPart);
  }

 private:
  HANDLE m_file;
};

// Paths near or past MAX_PATH reach the file API only in their "\\?\" form, which must be
// a full path with backslashes; shorter paths pass unchanged.
std::wstring FilePath(std::u16string_view path) {
  std::wstring wide = Wide(path);
  if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return wide;
  full.resize(length);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool IsReadOnly(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

std::wstring TemporaryNameBeside(const std::wstring& path) {
  static std::atomic<unsigned> counter{0};
  return path + L".zeva-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter.fetch_add(1));
}

FILETIME ToFileTime(int64_t value) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(value) & 0xFFFFFFFF);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(value) >> 32);
  return time;
}

}  // namespace

std::optional<uint32_t> Win32FileSystem::GetAttributes(std::u16string_view path) {
  const DWORD attributes = ::GetFileAttributesW(FilePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return attributes;
}

std::optional<FoundEntry> Win32FileSystem::FindFirst(std::u16string_view pattern) {
  WIN32_FIND_DATAW data{};
  const HANDLE find = ::FindFirstFileW(FilePath(pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return std::nullopt;
  ::FindClose(find);
  return FoundEntry{FromWide(data.cFileName), data.dwFileAttributes};
}

bool Win32FileSystem::CreateFolder(std::u16string_view path) {
  return ::CreateDirectoryW(FilePath(path).c_str(), nullptr) != FALSE;
}

bool Win32FileSystem::Remove(std::u16string_view path) {
  return ::DeleteFileW(FilePath(path).c_str()) != FALSE;
}

bool Win32FileSystem::Copy(std::u16string_view source, std::u16string_view target) {
  return ::CopyFileW(FilePath(source).c_str(), FilePath(target).c_str(), FALSE) != FALSE;
}

bool Win32FileSystem::Move(std::u16string_view source, std::u16string_view target) {
  return ::MoveFileExW(
             FilePath(source).c_str(), FilePath(target).c_str(),
             MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::optional<std::string> Win32FileSystem::ReadAll(std::u16string_view path) {
  const HANDLE file = ::CreateFileW(FilePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      ::CloseHandle(file);
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  ::CloseHandle(file);
  return bytes;
}

bool Win32FileSystem::ReplaceContents(std::u16string_view path, std::string_view bytes) {
  const std::wstring target = FilePath(path);
  if (IsReadOnly(target)) return false;
  const std::wstring temp = TemporaryNameBeside(target);
  const HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  Win32FileWriter writer(file);
  bool ok = writer.Write(bytes.data(), bytes.size()) && ::FlushFileBuffers(file);
  ok = writer.Close() && ok;
  ok = ok && ::MoveFileExW(temp.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) ::DeleteFileW(temp.c_str());
  return ok;
}

std::unique_ptr<IFileWriter> Win32FileSystem::OpenForAppend(std::u16string_view path) {
  const HANDLE file = ::CreateFileW(FilePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER zero{};
  ::SetFilePointerEx(file, zero, nullptr, FILE_END);
  return std::make_unique<Win32FileWriter>(file);
}

std::unique_ptr<IFileReader> Win32FileSystem::OpenForReading(std::u16string_view path) {
  const HANDLE file = ::CreateFileW(FilePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32FileReader>(file);
}

std::unique_ptr<IFileWriter> Win32FileSystem::CreateWithAttributes(std::u16string_view path,
                                                                   uint32_t attributes) {
  // Windows refuses to replace a read-only file; Wine running as root would not.
  if (IsReadOnly(FilePath(path))) return nullptr;
  const HANDLE file = ::CreateFileW(FilePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  // An existing file that was overwritten keeps its old attributes under some file
  // systems (and Wine): set them explicitly. The open handle stays writable.
  ::SetFileAttributesW(FilePath(path).c_str(), attributes);
  return std::make_unique<Win32FileWriter>(file);
}

bool Win32FileSystem::SetTimes(std::u16string_view path, const FileTimes& times) {
  const HANDLE file = ::CreateFileW(FilePath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME creation{}, access{}, write{};
  if (times.creation) creation = ToFileTime(*times.creation);
  if (times.lastAccess) access = ToFileTime(*times.lastAccess);
  if (times.lastWrite) write = ToFileTime(*times.lastWrite);
  const bool ok = ::SetFileTime(file, times.creation ? &creation : nullptr,
                                times.lastAccess ? &access : nullptr,
                                times.lastWrite ? &write : nullptr) != FALSE;
  ::CloseHandle(file);
  return ok;
}

bool Win32FileSystem::SetAttributes(std::u16string_view path, uint32_t attributes) {
  constexpr DWORD kSettable = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
  const DWORD bits = attributes & kSettable;
  return ::SetFileAttributesW(FilePath(path).c_str(), bits ? bits : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

std::optional<int64_t> Win32FileSystem::LocalTimeToFileTime(const LocalTime& local) {
  if (local.year < 1601 || local.year > 30827) return std::nullopt;
  SYSTEMTIME fields{};
  fields.wYear = static_cast<WORD>(local.year);
  fields.wMonth = static_cast<WORD>(local.month);
  fields.wDay = static_cast<WORD>(local.day);
  fields.wHour = static_cast<WORD>(local.hour);
  fields.wMinute = static_cast<WORD>(local.minute);
  fields.wSecond = static_cast<WORD>(local.second);
  // Validates the fields before the zone is applied: a day the month does not have comes
  // back as another day (Wine accepts it where Windows refuses).
  FILETIME check{};
  SYSTEMTIME back{};
  if (!::SystemTimeToFileTime(&fields, &check) || !::FileTimeToSystemTime(&check, &back) ||
      back.wDay != fields.wDay || back.wMonth != fields.wMonth || back.wHour != fields.wHour ||
      back.wMinute != fields.wMinute || back.wSecond != fields.wSecond) {
    return std::nullopt;
  }
  // The rules in force on that date, not today's offset.
  SYSTEMTIME utc{};
  FILETIME time{};
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &fields, &utc) ||
      !::SystemTimeToFileTime(&utc, &time)) {
    return std::nullopt;
  }
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
}

std::u16string Win32FileSystem::ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return FromWide(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<uint64_t> Win32DiskSpace::FreeBytes(std::u16string_view folder) {
  // A share's root is named with its trailing backslash; any folder may carry one.
  std::wstring path = FilePath(folder);
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

}  // namespace zeva::win32
