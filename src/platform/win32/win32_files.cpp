#include "platform/win32/win32_files.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "platform/win32/wide.h"

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
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return attributes;
}

std::optional<FoundEntry> Win32FileSystem::FindFirst(std::u16string_view pattern) {
  WIN32_FIND_DATAW data{};
  const HANDLE find = ::FindFirstFileW(Wide(pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return std::nullopt;
  ::FindClose(find);
  return FoundEntry{FromWide(data.cFileName), data.dwFileAttributes};
}

bool Win32FileSystem::CreateFolder(std::u16string_view path) {
  return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != FALSE;
}

bool Win32FileSystem::Remove(std::u16string_view path) {
  return ::DeleteFileW(Wide(path).c_str()) != FALSE;
}

bool Win32FileSystem::Copy(std::u16string_view source, std::u16string_view target) {
  return ::CopyFileW(Wide(source).c_str(), Wide(target).c_str(), FALSE) != FALSE;
}

bool Win32FileSystem::Move(std::u16string_view source, std::u16string_view target) {
  return ::MoveFileExW(
             Wide(source).c_str(), Wide(target).c_str(),
             MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::optional<std::string> Win32FileSystem::ReadAll(std::u16string_view path) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ,
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
  const std::wstring target = Wide(path);
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
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER zero{};
  ::SetFilePointerEx(file, zero, nullptr, FILE_END);
  return std::make_unique<Win32FileWriter>(file);
}

std::unique_ptr<IFileWriter> Win32FileSystem::CreateWithAttributes(std::u16string_view path,
                                                                   uint32_t attributes) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  // An existing file that was overwritten keeps its old attributes under some file
  // systems (and Wine): set them explicitly. The open handle stays writable.
  ::SetFileAttributesW(Wide(path).c_str(), attributes);
  return std::make_unique<Win32FileWriter>(file);
}

bool Win32FileSystem::SetTimes(std::u16string_view path, const FileTimes& times) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
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

}  // namespace zeva::win32
