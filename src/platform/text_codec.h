// The ANSI code page: the system's on Windows, 936 (GBK) in the GTK port.
#pragma once

#include <string>
#include <string_view>

namespace zeva {

class ITextCodec {
 public:
  virtual ~ITextCodec() = default;
  // Bytes that are not valid in the code page are replaced; the conversion never fails.
  virtual std::u16string AnsiToUtf16(std::string_view bytes) = 0;
  // Characters the code page cannot hold become '?'.
  virtual std::string Utf16ToAnsi(std::u16string_view text) = 0;
};

}  // namespace zeva
