// UTF-8 <-> UTF-16, the same on every port (pure code, no system call).
#pragma once

#include <string>
#include <string_view>

namespace zeva {

// Unpaired surrogates become U+FFFD, as the Windows conversion does.
std::string Utf16ToUtf8(std::u16string_view text);
// Malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view bytes);

// Letter case folding for names compared without regard to case (section and key names,
// file names): ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and full-width forms.
char16_t FoldCase(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

}  // namespace zeva
