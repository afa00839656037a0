// Core paths (UTF-16, either separator) as POSIX paths (UTF-8, '/').
#pragma once

#include <string>
#include <string_view>

namespace zeva::posix {

std::string ToNativePath(std::u16string_view path);

}  // namespace zeva::posix
