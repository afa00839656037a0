// The small codecs of the client identity: machine address text, percent-encoding, Base64.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zeva {

// "%x-%x-%x-%x-%x-%x" of the first adapter's address (0-1b-fc-a-5-e3). Empty when the
// system lists no adapter: an unknown machine never matches a stored address.
std::u16string GetMacAddressText(const Platform& platform);

// Every UTF-8 byte as "%" and two lower-case hex digits (letters and digits included).
std::u16string UrlEncode(std::u16string_view text);

// Base64 (RFC 4648, padded, no line breaks) of the low 8 bits of each UTF-16 unit.
std::u16string Base64Encode(std::u16string_view text);

// The inverse of Base64Encode for its ASCII range; the bytes up to the first zero byte are
// read in the ANSI code page.
std::u16string Base64Decode(std::u16string_view text, ITextCodec& codec);

}  // namespace zeva
