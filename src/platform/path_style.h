// How the port spells paths. Pages and archives are written for Windows, so a backslash is
// a separator on every port; the port's own separator is the one the client writes.
#pragma once

namespace zeva {

#if defined(_WIN32)
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

constexpr bool IsPathSeparator(char16_t c) {
  return c == u'\\' || c == kPathSeparator;
}

}  // namespace zeva
