#include "download/download_path.h"

#include <cstdint>

#include "download/entry_name.h"
#include "platform/path_style.h"

namespace zeva {

namespace {

// Windows takes '/' as a separator too, so a name is checked with both on every port.
constexpr bool IsAnySeparator(char16_t c) {
  return c == u'/' || c == u'\\';
}

constexpr char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool EqualsAsciiNoCase(std::u16string_view text, std::u16string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (AsciiLower(text[i]) != lower[i]) return false;
  }
  return true;
}

constexpr bool IsAsciiDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

constexpr bool IsHexDigit(char16_t c) {
  return IsAsciiDigit(c) || (AsciiLower(c) >= u'a' && AsciiLower(c) <= u'f');
}

// Letters, digits, '-', '.', '_', '~', and anything past ASCII (international names). The
// rest of ASCII either ends the host for one parser and not for another ('\\', '@', '%'
// decoded or not) or names no host at all.
constexpr bool IsHostNameCharacter(char16_t c) {
  return c >= 0x80 || IsAsciiDigit(c) || (AsciiLower(c) >= u'a' && AsciiLower(c) <= u'z') ||
         c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

AddressCheck CheckPort(std::u16string_view port) {
  // Empty after a ':' means the scheme's own port.
  uint32_t value = 0;
  for (char16_t c : port) {
    if (!IsAsciiDigit(c)) return AddressCheck::kBadPort;
    value = value * 10 + (c - u'0');
    if (value > 65535) return AddressCheck::kBadPort;
  }
  return port.empty() || value > 0 ? AddressCheck::kOk : AddressCheck::kBadPort;
}

// `hostAndPort`: the authority without its user information.
AddressCheck CheckHostAndPort(std::u16string_view hostAndPort) {
  if (!hostAndPort.empty() && hostAndPort.front() == u'[') {
    const size_t close = hostAndPort.find(u']');
    if (close == std::u16string_view::npos) return AddressCheck::kBadHost;
    const std::u16string_view literal = hostAndPort.substr(1, close - 1);
    if (literal.empty()) return AddressCheck::kNoHost;
    for (char16_t c : literal) {
      if (!IsHexDigit(c) && c != u':' && c != u'.') return AddressCheck::kBadHost;
    }
    const std::u16string_view rest = hostAndPort.substr(close + 1);
    if (rest.empty()) return AddressCheck::kOk;
    return rest.front() == u':' ? CheckPort(rest.substr(1)) : AddressCheck::kBadHost;
  }
  const size_t colon = hostAndPort.find(u':');
  const std::u16string_view host = hostAndPort.substr(0, colon);
  if (host.empty()) return AddressCheck::kNoHost;
  if (host.size() > kMaxHostLength) return AddressCheck::kHostTooLong;
  for (char16_t c : host) {
    if (!IsHostNameCharacter(c)) return AddressCheck::kBadHost;
  }
  return colon == std::u16string_view::npos ? AddressCheck::kOk
                                            : CheckPort(hostAndPort.substr(colon + 1));
}

}  // namespace

bool IsAcceptableDownloadName(std::u16string_view name) {
  if (name.empty() || IsAnySeparator(name.front())) return false;
  // A ".." component ends in a dot and a drive ("C:x") holds a colon: neither passes, so
  // nothing leaves Downloads, and no name means another file on Windows than elsewhere.
  return IsPortablePath(name);
}

AddressCheck CheckDownloadAddress(std::u16string_view url) {
  for (char16_t c : url) {
    if (c <= u' ' || c == 0x7F) return AddressCheck::kBadCharacter;
  }
  const size_t colon = url.find(u':');
  if (colon == std::u16string_view::npos) return AddressCheck::kNotWeb;
  const std::u16string_view scheme = url.substr(0, colon);
  if (!EqualsAsciiNoCase(scheme, u"http") && !EqualsAsciiNoCase(scheme, u"https")) {
    return AddressCheck::kNotWeb;
  }
  // "http:host" and "http:/host" are taken as a host by some parsers and as a path by others.
  const std::u16string_view rest = url.substr(colon + 1);
  if (rest.substr(0, 2) != u"//") return AddressCheck::kNoHost;
  const std::u16string_view authority = rest.substr(2, rest.find_first_of(u"/?#", 2) - 2);
  const size_t at = authority.find(u'@');
  if (at == std::u16string_view::npos) return CheckHostAndPort(authority);
  // Parsers disagree on which '@' ends the user information.
  if (authority.find(u'@', at + 1) != std::u16string_view::npos) return AddressCheck::kBadHost;
  return CheckHostAndPort(authority.substr(at + 1));
}

std::u16string DownloadsFolderOf(std::u16string_view clientFolder) {
  std::u16string folder(clientFolder);
  folder += kDownloadsFolder;
  return folder;
}

std::u16string DownloadPath(std::u16string_view clientFolder, std::u16string_view name) {
  std::u16string path = DownloadsFolderOf(clientFolder);
  path += kPathSeparator;
  path += name;
  return path;
}

}  // namespace zeva
