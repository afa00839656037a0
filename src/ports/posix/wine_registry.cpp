#include "ports/posix/wine_registry.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/unicode.h"

namespace zeva::posix {
namespace {

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads a quoted or bracketed text with Wine's escapes, starting after the opening mark and
// stopping at `close`; `pos` ends after the closing mark. Nothing when it is not closed.
std::optional<std::u16string> ReadEscaped(std::u16string_view line, size_t& pos, char16_t close) {
  std::u16string text;
  while (pos < line.size()) {
    const char16_t c = line[pos++];
    if (c == close) return text;
    if (c != u'\\' || pos >= line.size()) {
      text += c;
      continue;
    }
    const char16_t e = line[pos++];
    switch (e) {
      case u'a':
        text += u'\a';
        break;
      case u'b':
        text += u'\b';
        break;
      case u'e':
        text += u'\x1b';
        break;
      case u'f':
        text += u'\f';
        break;
      case u'n':
        text += u'\n';
        break;
      case u'r':
        text += u'\r';
        break;
      case u't':
        text += u'\t';
        break;
      case u'v':
        text += u'\v';
        break;
      case u'x': {
        unsigned value = 0;
        int digits = 0;
        for (int v; digits < 4 && pos < line.size() && (v = HexValue(line[pos])) >= 0; ++digits) {
          value = value * 16 + static_cast<unsigned>(v);
          ++pos;
        }
        text += digits ? static_cast<char16_t>(value) : u'x';
        break;
      }
      default:
        if (e >= u'0' && e <= u'7') {
          unsigned value = static_cast<unsigned>(e - u'0');
          for (int digits = 1;
               digits < 3 && pos < line.size() && line[pos] >= u'0' && line[pos] <= u'7';
               ++digits) {
            value = value * 8 + static_cast<unsigned>(line[pos++] - u'0');
          }
          text += static_cast<char16_t>(value);
        } else {
          text += e;  // \\ and \" and anything else: the character itself
        }
    }
  }
  return std::nullopt;
}

// "hex(2):41,00,42,00,..." continued over lines ending in a backslash.
std::u16string DecodeHexUtf16(std::u16string_view bytes) {
  std::u16string text;
  int half = -1, byte = -1;
  unsigned low = 0;
  bool haveLow = false;
  for (char16_t c : bytes) {
    const int v = HexValue(c);
    if (v < 0) continue;
    if (half < 0) {
      half = v;
      continue;
    }
    byte = half * 16 + v;
    half = -1;
    if (!haveLow) {
      low = static_cast<unsigned>(byte);
      haveLow = true;
    } else {
      text += static_cast<char16_t>(low | (static_cast<unsigned>(byte) << 8));
      haveLow = false;
    }
  }
  return text;
}

std::u16string CutAtNul(std::u16string text) {
  text.resize(std::min(text.size(), text.find(u'\0')));
  return text;
}

}  // namespace

std::optional<std::u16string> FindRegistryString(std::string_view fileText,
                                                 std::u16string_view keyPath,
                                                 std::u16string_view valueName) {
  // Paths are compared without regard to case and to a leading or trailing backslash.
  while (!keyPath.empty() && keyPath.front() == u'\\') keyPath.remove_prefix(1);
  while (!keyPath.empty() && keyPath.back() == u'\\') keyPath.remove_suffix(1);
  const std::u16string text = Utf8ToUtf16(fileText);
  std::u16string_view rest = text;
  bool inKey = false;
  while (!rest.empty()) {
    size_t end = rest.find(u'\n');
    std::u16string line(rest.substr(0, end));
    rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
    // Continuation lines of hex values.
    while (!line.empty() && line.back() == u'\r') line.pop_back();
    while (!line.empty() && line.back() == u'\\' && !rest.empty()) {
      line.pop_back();
      end = rest.find(u'\n');
      std::u16string_view next = rest.substr(0, end);
      while (!next.empty() && (next.front() == u' ' || next.front() == u'\t'))
        next.remove_prefix(1);
      line += next;
      rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
      while (!line.empty() && line.back() == u'\r') line.pop_back();
    }
    if (line.empty()) continue;
    if (line.front() == u'[') {
      size_t pos = 1;
      const std::optional<std::u16string> name = ReadEscaped(line, pos, u']');
      inKey = name && EqualsIgnoreCase(*name, keyPath);
      continue;
    }
    if (!inKey) continue;
    size_t pos = 0;
    std::u16string name;
    if (line.front() == u'@') {
      pos = 1;
    } else if (line.front() == u'"') {
      pos = 1;
      const std::optional<std::u16string> quoted = ReadEscaped(line, pos, u'"');
      if (!quoted) continue;
      name = *quoted;
    } else {
      continue;
    }
    if (!EqualsIgnoreCase(name, valueName)) continue;
    if (pos >= line.size() || line[pos] != u'=') continue;
    std::u16string_view value = std::u16string_view(line).substr(pos + 1);
    if (value.starts_with(u"str(2):")) value.remove_prefix(7);
    if (value.starts_with(u"\"")) {
      size_t valuePos = 1;
      const std::optional<std::u16string> quoted = ReadEscaped(value, valuePos, u'"');
      return quoted ? std::optional(CutAtNul(*quoted)) : std::nullopt;
    }
    if (value.starts_with(u"hex(2):") || value.starts_with(u"hex(1):")) {
      return CutAtNul(DecodeHexUtf16(value.substr(7)));
    }
    return std::nullopt;  // a number, binary data or a list: not a string
  }
  return std::nullopt;
}

WineRegistry::WineRegistry(std::string prefix) : m_prefix(std::move(prefix)) {
  if (m_prefix.empty()) {
    if (const char* env = std::getenv("WINEPREFIX"); env && *env) {
      m_prefix = env;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
      m_prefix = std::string(home) + "/.wine";
    }
  }
}

std::optional<std::u16string> WineRegistry::ReadString(RegistryRoot root,
                                                       std::u16string_view keyPath,
                                                       std::u16string_view valueName) {
  if (m_prefix.empty()) return std::nullopt;
  auto read = [&](const char* file) {
    std::ifstream in(m_prefix + file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  auto find = [&](const std::string& text, std::u16string_view path) {
    return text.empty() ? std::nullopt : FindRegistryString(text, path, valueName);
  };
  while (!keyPath.empty() && keyPath.front() == u'\\') keyPath.remove_prefix(1);
  switch (root) {
    case RegistryRoot::kCurrentUser:
      return find(read("/user.reg"), keyPath);
    case RegistryRoot::kLocalMachine: {
      const std::string machine = read("/system.reg");
      // The client is a 32-bit program: in a 64-bit prefix its view of Software is the
      // Wow6432Node branch, where 32-bit installers write; the shared keys come next.
      constexpr std::u16string_view kSoftware = u"Software\\";
      if (keyPath.size() > kSoftware.size() &&
          EqualsIgnoreCase(keyPath.substr(0, kSoftware.size()), kSoftware)) {
        const std::u16string redirected = std::u16string(u"Software\\Wow6432Node\\") +
                                          std::u16string(keyPath.substr(kSoftware.size()));
        if (auto value = find(machine, redirected)) return value;
      }
      return find(machine, keyPath);
    }
    case RegistryRoot::kClassesRoot: {
      // The user's classes take the place of the machine's.
      const std::u16string classes = u"Software\\Classes\\" + std::u16string(keyPath);
      if (auto value = find(read("/user.reg"), classes)) return value;
      return find(read("/system.reg"), classes);
    }
    default:
      return std::nullopt;
  }
}

}  // namespace zeva::posix
