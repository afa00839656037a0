#include "ports/posix/xdg_autostart.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/unicode.h"

namespace zeva::posix {
namespace {

bool HoldsControl(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// A name becomes one path component: separators and dots alone would leave the folder.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         !HoldsControl(name);
}

// Creates every folder along `path` (absolute); true when it is then a folder.
bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0700);
  }
  ::mkdir(path.c_str(), 0700);
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAtomically(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    done += static_cast<size_t>(written);
  }
  const bool ok = done == text.size() && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string AutostartFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/autostart";
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    const passwd* user = ::getpwuid(::getuid());
    home = user ? user->pw_dir : nullptr;
  }
  if (!home || home[0] != '/') return {};
  return std::string(home) + "/.config/autostart";
}

std::optional<std::string> DesktopExecValue(std::string_view program) {
  if (program.empty() || HoldsControl(program)) return std::nullopt;
  // Inside the quotes ", `, $ and \ take a backslash; then the value's own escaping doubles
  // every backslash, and a literal % is written %%.
  std::string quoted = "\"";
  for (const char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (const char c : quoted) {
    if (c == '\\')
      value += "\\\\";
    else if (c == '%')
      value += "%%";
    else
      value += c;
  }
  return value;
}

std::string XdgAutostart::EntryPath(std::u16string_view name) const {
  const std::string folder = m_folder.empty() ? AutostartFolder() : m_folder;
  const std::string file = Utf16ToUtf8(name);
  if (folder.empty() || !IsPlainName(file)) return {};
  return folder + "/" + file + ".desktop";
}

bool XdgAutostart::Register(const AutostartEntry& entry) {
  const std::string path = EntryPath(entry.name);
  const std::optional<std::string> exec = DesktopExecValue(Utf16ToUtf8(entry.program));
  const std::string name = Utf16ToUtf8(entry.displayName);
  if (path.empty() || !exec || HoldsControl(name)) return false;
  if (!MakeFolders(path.substr(0, path.rfind('/')))) return false;
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=" + (name.empty() ? Utf16ToUtf8(entry.name) : name) + "\n";
  text += "Exec=" + *exec + "\n";
  text += "Terminal=false\n";
  return WriteAtomically(path, text);
}

bool XdgAutostart::Unregister(std::u16string_view name) {
  const std::string path = EntryPath(name);
  if (path.empty()) return false;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace zeva::posix
