// The few reply headers the engine reads, parsed strictly: a server's header is input.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zeva {

// Content-Length: decimal digits only, no sign, no overflow.
std::optional<uint64_t> ParseContentLength(std::string_view value);

// Content-Range of a 206, "bytes first-last/length" (length may be "*").
struct ContentRange {
  uint64_t first = 0;
  uint64_t last = 0;                       // the range's last byte, inclusive
  std::optional<uint64_t> completeLength;  // nothing for "*"
};
std::optional<ContentRange> ParseContentRange(std::string_view value);

// Content-Range of a 416, "bytes */length": the length of the whole file.
std::optional<uint64_t> ParseUnsatisfiedRangeLength(std::string_view value);

// What a later If-Range may name to ask for the rest of this reply's file: its ETag when that
// is one strong tag, else its Last-Modified date; nothing when neither can be sent back as
// it came (printable ASCII only, at most 256 characters). A tag starts with '"' and a date
// never does, so the two kinds are told apart by their first character.
std::optional<std::string> ResumeValidator(const std::optional<std::string>& etag,
                                           const std::optional<std::string>& lastModified);

}  // namespace zeva
