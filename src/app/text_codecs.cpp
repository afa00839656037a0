#include "app/text_codecs.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "platform/unicode.h"

namespace zeva {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int AlphabetIndex(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c - u'A';
  if (c >= u'a' && c <= u'z') return c - u'a' + 26;
  if (c >= u'0' && c <= u'9') return c - u'0' + 52;
  if (c == u'+') return 62;
  if (c == u'/') return 63;
  return -1;
}

std::u16string Widen(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace

std::u16string GetMacAddressText(const Platform& platform) {
  const std::optional<HardwareAddress> address = platform.adapters.FirstAdapterAddress();
  if (!address) return {};
  const HardwareAddress& a = *address;
  char text[32];
  std::snprintf(text, sizeof text, "%x-%x-%x-%x-%x-%x", a[0], a[1], a[2], a[3], a[4], a[5]);
  return Widen(text);
}

std::u16string UrlEncode(std::u16string_view text) {
  const std::string utf8 = Utf16ToUtf8(text);
  // The system's conversion reports failure for empty text: the text comes back as it was.
  if (utf8.empty()) return std::u16string(text);
  static constexpr char kHex[] = "0123456789abcdef";
  std::u16string out;
  out.reserve(utf8.size() * 3);
  for (unsigned char byte : utf8) {
    out += u'%';
    out += static_cast<char16_t>(kHex[byte >> 4]);
    out += static_cast<char16_t>(kHex[byte & 0xF]);
  }
  return out;
}

std::u16string Base64Encode(std::u16string_view text) {
  std::u16string out;
  out.reserve((text.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= text.size(); i += 3) {
    const uint32_t group = (uint32_t{static_cast<uint8_t>(text[i])} << 16) |
                           (uint32_t{static_cast<uint8_t>(text[i + 1])} << 8) |
                           static_cast<uint8_t>(text[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(group >> shift) & 0x3F];
  }
  const size_t rest = text.size() - i;
  if (rest == 1) {
    const uint32_t group = uint32_t{static_cast<uint8_t>(text[i])} << 16;
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += u"==";
  } else if (rest == 2) {
    const uint32_t group = (uint32_t{static_cast<uint8_t>(text[i])} << 16) |
                           (uint32_t{static_cast<uint8_t>(text[i + 1])} << 8);
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += kAlphabet[(group >> 6) & 0x3F];
    out += u'=';
  }
  return out;
}

// Output length: (n div 4) * 3, less one for each "=" among the last two characters. Groups
// take the next characters of the alphabet, skipping any other. Left open by the format and
// decided here: a text shorter than four characters decodes to nothing, and when the
// characters run out before a group is complete the missing ones count as zero bits (so a
// stray character in the last group costs that group's bits, never reads past the text).
std::u16string Base64Decode(std::u16string_view text, ITextCodec& codec) {
  const size_t n = text.size();
  size_t length = n / 4 * 3;
  if (length == 0) return {};
  if (text[n - 1] == u'=') --length;
  if (n >= 2 && text[n - 2] == u'=') --length;

  size_t pos = 0;
  auto nextSextet = [&]() -> uint32_t {
    while (pos < n) {
      const int index = AlphabetIndex(text[pos++]);
      if (index >= 0) return static_cast<uint32_t>(index);
    }
    return 0;
  };

  std::string bytes;
  bytes.reserve(length);
  while (bytes.size() + 3 <= length) {
    uint32_t group = 0;
    for (int k = 0; k < 4; ++k) group = (group << 6) | nextSextet();
    bytes += static_cast<char>(group >> 16);
    bytes += static_cast<char>((group >> 8) & 0xFF);
    bytes += static_cast<char>(group & 0xFF);
  }
  const size_t rest = length - bytes.size();
  if (rest == 1) {
    const uint32_t group = (nextSextet() << 18) | (nextSextet() << 12);
    bytes += static_cast<char>(group >> 16);
  } else if (rest == 2) {
    const uint32_t group = (nextSextet() << 18) | (nextSextet() << 12) | (nextSextet() << 6);
    bytes += static_cast<char>(group >> 16);
    bytes += static_cast<char>((group >> 8) & 0xFF);
  }
  bytes.resize(std::min(bytes.size(), bytes.find('\0')));
  return codec.AnsiToUtf16(bytes);
}

}  // namespace zeva
