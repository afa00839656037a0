#include "host/origin.h"

namespace zeva {
namespace {

char16_t Lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool IsSchemeChar(char16_t c, bool first) {
  const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
  if (first) return letter;
  return letter || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

}  // namespace

std::u16string OriginOf(std::u16string_view url) {
  const size_t colon = url.find(u':');
  if (colon == std::u16string_view::npos || colon == 0) return {};
  std::u16string scheme;
  for (size_t i = 0; i < colon; ++i) {
    if (!IsSchemeChar(url[i], i == 0)) return {};
    scheme += Lower(url[i]);
  }
  std::u16string_view rest = url.substr(colon + 1);
  if (!rest.starts_with(u"//")) return scheme + u":";
  rest.remove_prefix(2);
  const size_t end = rest.find_first_of(u"/?#\\");
  std::u16string_view authority = rest.substr(0, end);
  // User information never counts towards the origin.
  if (const size_t at = authority.rfind(u'@'); at != std::u16string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::u16string_view host = authority, port;
  const size_t bracket = authority.rfind(u']');
  const size_t portColon = authority.rfind(u':');
  if (portColon != std::u16string_view::npos &&
      (bracket == std::u16string_view::npos || portColon > bracket)) {
    host = authority.substr(0, portColon);
    port = authority.substr(portColon + 1);
  }
  for (char16_t c : port) {
    if (c < u'0' || c > u'9') return {};
  }
  while (port.size() > 1 && port.front() == u'0') port.remove_prefix(1);
  if (port.empty()) {
    if (scheme == u"http") port = u"80";
    if (scheme == u"https") port = u"443";
  }
  std::u16string origin = scheme + u"://";
  for (char16_t c : host) origin += Lower(c);
  if (!port.empty()) {
    origin += u':';
    origin += port;
  }
  return origin;
}

bool IsWebAddress(std::u16string_view url) {
  const std::u16string origin = OriginOf(url);
  return origin.starts_with(u"http://") || origin.starts_with(u"https://");
}

}  // namespace zeva
