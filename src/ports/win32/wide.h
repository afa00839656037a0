// The core's UTF-16 text as the Windows API's wchar_t text (the same layout).
#pragma once

#include <string>
#include <string_view>

namespace zeva::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring Wide(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline std::u16string FromWide(std::wstring_view text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

}  // namespace zeva::win32
