// What a Range header asks of a representation of known size.
#pragma once

#include <cstdint>
#include <string_view>

namespace zeva::toolserver {

struct ByteRange {
  enum class Kind {
    kWhole,          // no usable range: send the whole representation (200)
    kPart,           // one satisfiable range (206)
    kUnsatisfiable,  // a bytes range that cannot be met, or one that is malformed (416)
  };
  Kind kind = Kind::kWhole;
  std::uint64_t first = 0;
  std::uint64_t length = 0;
};

// Interprets `header` (the Range field value, empty when absent) for `size` bytes. Only single
// "bytes" ranges are honoured: other units and multi-range requests get the whole body, which
// a server may always send instead.
ByteRange ResolveByteRange(std::string_view header, std::uint64_t size);

}  // namespace zeva::toolserver
