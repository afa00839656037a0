// A download is named by the page's two identifiers A and B, not by its URL or file name.
#pragma once

#include <cstdint>

namespace zeva {

using ToolKey = uint64_t;

// A × 2^32 + B in 64-bit arithmetic with B sign-extended: for B < 0 the high half is A − 1.
constexpr ToolKey MakeToolKey(int32_t a, int32_t b) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) +
         static_cast<uint64_t>(static_cast<int64_t>(b));
}

// The halves as reports carry them, each a signed 32-bit value.
constexpr int32_t KeyHigh(ToolKey key) {
  return static_cast<int32_t>(static_cast<uint32_t>(key >> 32));
}
constexpr int32_t KeyLow(ToolKey key) {
  return static_cast<int32_t>(static_cast<uint32_t>(key));
}
constexpr ToolKey KeyFromHalves(int32_t high, int32_t low) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | static_cast<uint32_t>(low);
}

// Event codes: the transfer's completion code, the entry's state and a report's first value.
inline constexpr int32_t kEventProgress = 1;
inline constexpr int32_t kEventComplete = 2;
inline constexpr int32_t kEventFailed = -1;
inline constexpr int32_t kEventPaused = -100;

}  // namespace zeva
