// Names of ZIP entries: from the stored bytes to a path under the target folder.
#pragma once

#include <string>
#include <string_view>

#include "platform/text_codec.h"

namespace zeva {

// The stored name as text: UTF-8 when the entry's general-purpose flag bit 11 says so, the
// ANSI code page otherwise (archives made on Chinese Windows store GBK names).
std::u16string DecodeEntryName(std::string_view stored, bool utf8, ITextCodec& codec);

// The cleaning rules archives made for this client rely on, applied until none does: a
// drive prefix ("C:") goes, a leading separator goes, and everything up to and including
// the first inner "\..\", "\../", "/../" or "/..\" goes.
std::u16string ApplyCleaningRules(std::u16string_view name);

// ApplyCleaningRules, then every component that could still leave the target folder or
// means nothing goes: empty ones, "." and "..", and any made only of dots and spaces (Windows
// trims those to nothing or to ".."). The rest is joined with the port's separator; a
// trailing separator, which marks a folder entry, is kept.
std::u16string CleanEntryName(std::u16string_view name);

// Whether Windows takes every component of `path` (either separator; empty components pass)
// as the name of a file of its own, as other systems do. It does not take a device name (CON,
// PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, also with the digits ¹ ² ³) in any letter case, alone
// or before a dot and with spaces before the dot ("nul .txt"), which opens the device in every
// folder; a colon, which names a drive or a stream of another file; nor a trailing dot or
// space, which it trims ("a." is "a"). Names refused here are refused on every port, so each
// port makes the same files.
bool IsPortablePath(std::u16string_view path);

}  // namespace zeva
