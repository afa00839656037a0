#include "support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "platform/path_style.h"

namespace zeva::test {
namespace fs = std::filesystem;

namespace {

std::u16string ToU16(const fs::path& path) {
  std::u16string text = path.u16string();
  for (char16_t& c : text) {
    if (c == u'/' || c == u'\\') c = kPathSeparator;
  }
  return text;
}

void MakeWritable(const fs::path& root) {
  std::error_code ignored;
  fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto it = fs::recursive_directory_iterator(root, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::add, ignored);
  }
}

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  std::ostringstream name;
  name << "zeva-test-" << random() << "-" << counter++;
  m_path = fs::temp_directory_path() / name.str();
  fs::create_directories(m_path);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  MakeWritable(m_path);
  fs::remove_all(m_path, ignored);
}

std::u16string TempFolder::Path() const {
  return ToU16(m_path) + kPathSeparator;
}

std::u16string TempFolder::operator/(std::u16string_view name) const {
  return Path() + std::u16string(name);
}

fs::path NativePath(std::u16string_view path) {
  return fs::path(std::u16string(path));
}

std::string ReadBytes(std::u16string_view path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(std::u16string_view path, std::string_view bytes) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void SetReadOnly(std::u16string_view path, bool readOnly) {
  const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(NativePath(path), write,
                  readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

}  // namespace zeva::test
