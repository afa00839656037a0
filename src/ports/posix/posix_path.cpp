#include "ports/posix/posix_path.h"

#include <algorithm>

#include "platform/unicode.h"

namespace zeva::posix {

std::string ToNativePath(std::u16string_view path) {
  std::string native = Utf16ToUtf8(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

}  // namespace zeva::posix
