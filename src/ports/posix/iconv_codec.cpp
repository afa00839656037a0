#include "ports/posix/iconv_codec.h"

#include <iconv.h>

#include <cerrno>

namespace zeva::posix {
namespace {

constexpr char kAnsiCodePage[] = "CP936";
constexpr char kUtf16[] = "UTF-16LE";

// Runs iconv over the whole input; at a byte sequence it cannot convert it emits
// `replacement` and skips `skip` input bytes.
std::string Convert(const char* to, const char* from, std::string_view input,
                    std::string_view replacement, size_t skip) {
  std::string output;
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return output;
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    const size_t result = ::iconv(cd, &in, &inLeft, &out, &outLeft);
    output.append(buffer, static_cast<size_t>(out - buffer));
    if (result != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ, or EINVAL for a sequence cut off at the end.
    output.append(replacement);
    const size_t step = std::min(skip, inLeft);
    in += step;
    inLeft -= step;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  char* out = buffer;
  size_t outLeft = sizeof buffer;
  ::iconv(cd, nullptr, nullptr, &out, &outLeft);
  output.append(buffer, static_cast<size_t>(out - buffer));
  ::iconv_close(cd);
  return output;
}

}  // namespace

std::u16string IconvCodec::AnsiToUtf16(std::string_view bytes) {
  const std::string utf16 = Convert(kUtf16, kAnsiCodePage, bytes, std::string("\xFD\xFF", 2), 1);
  std::u16string text(utf16.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(utf16[2 * i]) |
                                    (static_cast<unsigned char>(utf16[2 * i + 1]) << 8));
  }
  return text;
}

std::string IconvCodec::Utf16ToAnsi(std::u16string_view text) {
  std::string utf16;
  utf16.reserve(text.size() * 2);
  for (char16_t c : text) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  return Convert(kAnsiCodePage, kUtf16, utf16, "?", 2);
}

}  // namespace zeva::posix
