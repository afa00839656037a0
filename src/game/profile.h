// The profile (INI) layer: the system's private-profile semantics on every port, with writes
// that replace the file in one step.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace zeva {

// The value of `key` in `section` of `file`, or `defaultValue` (its trailing blanks removed)
// when the file, the section or the key is missing. Blanks around the value and one pair of
// enclosing quotes (single or double) are removed; at most capacity - 1 characters return.
std::u16string ProfileGetString(const Platform& platform, std::u16string_view section,
                                std::u16string_view key, std::u16string_view defaultValue,
                                size_t capacity, std::u16string_view file);

// Writes the value, creating the file, the section and the key as needed. The file is
// replaced atomically; false (and the old file untouched) when it cannot be written, or when
// a name or the value holds a line break, which would corrupt the lines around it.
bool ProfileSetString(const Platform& platform, std::u16string_view section,
                      std::u16string_view key, std::u16string_view value, std::u16string_view file);

// Several values of one file written together, in order, by one replacement of the file:
// all of them land or none does.
struct ProfileEntry {
  std::u16string_view section, key, value;
};
bool ProfileSetStrings(const Platform& platform, const std::vector<ProfileEntry>& entries,
                       std::u16string_view file);

// A file name without any folder is looked for in the client folder.
std::u16string ResolveProfilePath(const Platform& platform, std::u16string_view file);

// The client's settings file: the client folder followed by "config.ini".
std::u16string ConfigFilePath(const Platform& platform);

}  // namespace zeva
