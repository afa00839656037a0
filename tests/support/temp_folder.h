// A fresh folder per test, removed afterwards (read-only bits cleared first).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zeva::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder with the port's separator at its end.
  std::u16string Path() const;
  // The folder followed by `name` (use the port's separator inside `name`).
  std::u16string operator/(std::u16string_view name) const;

  const std::filesystem::path& Native() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

std::filesystem::path NativePath(std::u16string_view path);
std::string ReadBytes(std::u16string_view path);
void WriteBytes(std::u16string_view path, std::string_view bytes);
void SetReadOnly(std::u16string_view path, bool readOnly);

}  // namespace zeva::test
