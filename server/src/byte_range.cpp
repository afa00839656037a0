#include "byte_range.h"

#include <charconv>

namespace zeva::toolserver {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool StartsWithBytesUnit(std::string_view text) {
  constexpr std::string_view kUnit = "bytes=";
  if (text.size() < kUnit.size()) return false;
  for (std::size_t i = 0; i < kUnit.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kUnit[i]) return false;
  }
  return true;
}

// Digits only; false on anything else, on an empty text and on overflow.
bool ParseNumber(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

ByteRange Unsatisfiable() {
  return {ByteRange::Kind::kUnsatisfiable, 0, 0};
}

}  // namespace

ByteRange ResolveByteRange(std::string_view header, std::uint64_t size) {
  header = Trim(header);
  if (header.empty() || !StartsWithBytesUnit(header)) return {};
  std::string_view rangeSet = Trim(header.substr(6));
  if (rangeSet.find(',') != std::string_view::npos) return {};

  std::size_t dash = rangeSet.find('-');
  if (dash == std::string_view::npos) return Unsatisfiable();
  std::string_view firstText = Trim(rangeSet.substr(0, dash));
  std::string_view lastText = Trim(rangeSet.substr(dash + 1));

  if (firstText.empty()) {
    // A suffix range: the final n bytes.
    std::uint64_t suffix = 0;
    if (!ParseNumber(lastText, suffix) || suffix == 0 || size == 0) return Unsatisfiable();
    std::uint64_t length = suffix < size ? suffix : size;
    return {ByteRange::Kind::kPart, size - length, length};
  }

  std::uint64_t first = 0;
  if (!ParseNumber(firstText, first)) return Unsatisfiable();
  std::uint64_t last = size == 0 ? 0 : size - 1;
  if (!lastText.empty()) {
    std::uint64_t asked = 0;
    if (!ParseNumber(lastText, asked) || asked < first) return Unsatisfiable();
    if (asked < last) last = asked;
  }
  if (first >= size) return Unsatisfiable();
  return {ByteRange::Kind::kPart, first, last - first + 1};
}

}  // namespace zeva::toolserver
