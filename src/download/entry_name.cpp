#include "download/entry_name.h"

#include <array>
#include <vector>

#include "platform/path_style.h"
#include "platform/unicode.h"

namespace zeva {
namespace {

bool IsSeparator(char16_t c) {
  return c == u'/' || c == u'\\';
}

bool IsDotsAndSpaces(std::u16string_view component) {
  for (char16_t c : component) {
    if (c != u'.' && c != u' ') return false;
  }
  return true;
}

constexpr char16_t AsciiUpper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

// Windows compares device names in ASCII letters only: full-width "ＣＯＮ" is a file.
bool IsDeviceName(std::u16string_view stem) {
  if (stem.size() != 3 && stem.size() != 4) return false;
  char16_t upper[3];
  for (size_t i = 0; i < 3; ++i) upper[i] = AsciiUpper(stem[i]);
  const std::u16string_view letters(upper, 3);
  if (stem.size() == 3) {
    return letters == u"CON" || letters == u"PRN" || letters == u"AUX" || letters == u"NUL";
  }
  const char16_t digit = stem[3];
  const bool port = (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
                    digit == u'\u00B3';
  return port && (letters == u"COM" || letters == u"LPT");
}

bool IsPortableComponent(std::u16string_view component) {
  if (component.empty()) return true;
  if (component.back() == u'.' || component.back() == u' ') return false;
  if (component.find(u':') != std::u16string_view::npos) return false;
  // The device is named by what stands before the first dot, spaces at its end trimmed.
  std::u16string_view stem = component.substr(0, component.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  return !IsDeviceName(stem);
}

}  // namespace

std::u16string DecodeEntryName(std::string_view stored, bool utf8, ITextCodec& codec) {
  return utf8 ? Utf8ToUtf16(stored) : codec.AnsiToUtf16(stored);
}

std::u16string ApplyCleaningRules(std::u16string_view name) {
  // Every rule removes a prefix, so the name is a moving start over the original. A pattern
  // absent after one start stays absent after any later one, and a found position stays
  // valid until the start passes it: each pattern is searched forward only, which keeps
  // long hostile names linear.
  static constexpr std::array<std::u16string_view, 4> kParentPatterns = {u"\\..\\", u"\\../",
                                                                         u"/../", u"/..\\"};
  constexpr size_t kUnknown = std::u16string_view::npos - 1;
  std::array<size_t, 4> found{kUnknown, kUnknown, kUnknown, kUnknown};
  size_t start = 0;
  for (;;) {
    const std::u16string_view rest = name.substr(start);
    if (rest.size() >= 2 && rest[1] == u':') {
      start += 2;
      continue;
    }
    if (!rest.empty() && IsSeparator(rest[0])) {
      start += 1;
      continue;
    }
    bool applied = false;
    for (size_t i = 0; i < kParentPatterns.size() && !applied; ++i) {
      if (found[i] == kUnknown || (found[i] != std::u16string_view::npos && found[i] < start)) {
        found[i] = name.find(kParentPatterns[i], start);
      }
      if (found[i] != std::u16string_view::npos) {
        start = found[i] + kParentPatterns[i].size();
        applied = true;
      }
    }
    if (!applied) return std::u16string(name.substr(start));
  }
}

std::u16string CleanEntryName(std::u16string_view name) {
  const std::u16string cleaned = ApplyCleaningRules(name);
  std::vector<std::u16string_view> components;
  size_t begin = 0;
  while (begin <= cleaned.size()) {
    size_t end = begin;
    while (end < cleaned.size() && !IsSeparator(cleaned[end])) ++end;
    const std::u16string_view component = std::u16string_view(cleaned).substr(begin, end - begin);
    if (!IsDotsAndSpaces(component)) components.push_back(component);
    begin = end + 1;
  }
  // Dropped components may uncover a drive ("./C:/x"): the first two rules again, so that
  // no cleaned name looks absolute.
  size_t first = 0;
  while (first < components.size() && components[first].size() >= 2 &&
         components[first][1] == u':') {
    components[first].remove_prefix(2);
    if (IsDotsAndSpaces(components[first])) ++first;
  }
  std::u16string result;
  result.reserve(cleaned.size());
  for (size_t i = first; i < components.size(); ++i) {
    if (!result.empty()) result += kPathSeparator;
    result += components[i];
  }
  if (!result.empty() && IsSeparator(cleaned.back())) result += kPathSeparator;
  return result;
}

bool IsPortablePath(std::u16string_view path) {
  size_t begin = 0;
  while (begin <= path.size()) {
    size_t end = begin;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (!IsPortableComponent(path.substr(begin, end - begin))) return false;
    begin = end + 1;
  }
  return true;
}

}  // namespace zeva
