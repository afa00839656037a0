// The few reply headers the engine reads, parsed strictly: a server's header is input.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zeva {

// Content-Length: decimal digits only, no sign, no overflow.
std::optional<uint64_t> ParseContentLength(std::string_view value);

// Content-Range of a 206, "bytes first-last/length" (length may be "*"): the first byte.
std::optional<uint64_t> ParseContentRangeStart(std::string_view value);

// Content-Range of a 416, "bytes */length": the length of the whole file.
std::optional<uint64_t> ParseUnsatisfiedRangeLength(std::string_view value);

}  // namespace zeva
