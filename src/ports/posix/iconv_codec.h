#pragma once

#include "platform/text_codec.h"

namespace zeva::posix {

// Code page 936 through iconv: the game is the Chinese edition, and files written by its
// Windows players must read back the same here.
class IconvCodec final : public ITextCodec {
 public:
  std::u16string AnsiToUtf16(std::string_view bytes) override;
  std::string Utf16ToAnsi(std::u16string_view text) override;
};

}  // namespace zeva::posix
