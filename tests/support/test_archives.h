// The archives tests/data/make_test_archives.py made on the build host with other tools.
// For test programs set up with zeva_use_test_archives().
#pragma once

#include <string>
#include <string_view>

#include "platform/path_style.h"
#include "platform/unicode.h"

namespace zeva::test {

inline std::u16string TestArchive(std::u16string_view name) {
  return Utf8ToUtf16(ZEVA_TEST_ARCHIVES) + kPathSeparator + std::u16string(name);
}

}  // namespace zeva::test
