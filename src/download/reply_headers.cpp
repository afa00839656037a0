#include "download/reply_headers.h"

#include <limits>

namespace zeva {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Digits from the front of `text`, consumed; nothing when there are none or they overflow.
std::optional<uint64_t> TakeNumber(std::string_view& text) {
  uint64_t value = 0;
  size_t used = 0;
  while (used < text.size() && text[used] >= '0' && text[used] <= '9') {
    const uint64_t digit = static_cast<uint64_t>(text[used] - '0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
    ++used;
  }
  if (used == 0) return std::nullopt;
  text.remove_prefix(used);
  return value;
}

// "bytes" and at least one space, in any letter case.
bool TakeUnit(std::string_view& text) {
  constexpr std::string_view kUnit = "bytes";
  if (text.size() <= kUnit.size()) return false;
  for (size_t i = 0; i < kUnit.size(); ++i) {
    if ((text[i] | 0x20) != kUnit[i]) return false;
  }
  text.remove_prefix(kUnit.size());
  if (text.front() != ' ') return false;
  text = Trim(text);
  return true;
}

// Sent back in a request header exactly as it came: no control characters, nothing a
// transport might recode.
bool IsPrintableAscii(std::string_view text) {
  constexpr size_t kMaxValidator = 256;
  if (text.empty() || text.size() > kMaxValidator) return false;
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

}  // namespace

std::optional<uint64_t> ParseContentLength(std::string_view value) {
  value = Trim(value);
  const std::optional<uint64_t> number = TakeNumber(value);
  return number && value.empty() ? number : std::nullopt;
}

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  value = Trim(value);
  if (!TakeUnit(value)) return std::nullopt;
  const std::optional<uint64_t> first = TakeNumber(value);
  if (!first || value.empty() || value.front() != '-') return std::nullopt;
  value.remove_prefix(1);
  const std::optional<uint64_t> last = TakeNumber(value);
  if (!last || *last < *first || value.empty() || value.front() != '/') return std::nullopt;
  value.remove_prefix(1);
  if (value == "*") return ContentRange{*first, *last, std::nullopt};
  const std::optional<uint64_t> length = TakeNumber(value);
  if (!length || !value.empty() || *last >= *length) return std::nullopt;
  return ContentRange{*first, *last, length};
}

std::optional<uint64_t> ParseUnsatisfiedRangeLength(std::string_view value) {
  value = Trim(value);
  if (!TakeUnit(value) || value.size() < 2 || value[0] != '*' || value[1] != '/') {
    return std::nullopt;
  }
  value.remove_prefix(2);
  const std::optional<uint64_t> length = TakeNumber(value);
  return length && value.empty() ? length : std::nullopt;
}

std::optional<std::string> ResumeValidator(const std::optional<std::string>& etag,
                                           const std::optional<std::string>& lastModified) {
  // A weak tag ("W/...") may not be used for a range.
  if (etag && IsPrintableAscii(*etag) && etag->size() >= 2 && etag->front() == '"' &&
      etag->find('"', 1) == etag->size() - 1 && etag->find(' ') == std::string::npos) {
    return etag;
  }
  if (lastModified && IsPrintableAscii(*lastModified) && lastModified->front() != '"') {
    return lastModified;
  }
  return std::nullopt;
}

}  // namespace zeva
