#include "host/script_value.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace zeva {
namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

int DigitValue(char16_t c, int base) {
  int value = -1;
  if (c >= u'0' && c <= u'9') value = c - u'0';
  if (c >= u'a' && c <= u'f') value = c - u'a' + 10;
  if (c >= u'A' && c <= u'F') value = c - u'A' + 10;
  return value < base ? value : -1;
}

// Rounds half to even, the way Automation rounds every number it narrows to an integer.
Converted<int32_t> RoundToInt32(double value) {
  // NaN passes the system's range test and comes out as the largest integer; pages may
  // have come to rely on that, so it stays.
  if (std::isnan(value)) return {kSOk, std::numeric_limits<int32_t>::max()};
  if (value < -2147483648.5 || value >= 2147483647.5) {
    return {kDispEOverflow, 0};
  }
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  return {kSOk, static_cast<int32_t>(whole)};
}

std::u16string Widen(const char* text) {
  std::u16string wide;
  for (; *text; ++text) wide += static_cast<char16_t>(*text);
  return wide;
}

}  // namespace

ScriptValue ScriptValue::Number(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && value >= -2147483648.0 &&
      value <= 2147483647.0 && !(value == 0 && std::signbit(value))) {
    return Int32(static_cast<int32_t>(value));
  }
  return Double(value);
}

Converted<int32_t> ParseInt32(std::u16string_view text) {
  const Converted<int32_t> mismatch{kDispETypeMismatch, 0};
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;

  bool negative = false, leadingSign = false, parenthesis = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    leadingSign = true;
    ++i;
  } else if (i < n && text[i] == u'(') {
    parenthesis = true;
    ++i;
  }

  if (i + 1 < n && text[i] == u'&') {
    const char16_t kind = static_cast<char16_t>(text[i + 1] | 0x20);
    const int base = kind == u'h' ? 16 : kind == u'o' ? 8 : 0;
    if (base == 0) return mismatch;
    i += 2;
    uint64_t value = 0;
    bool any = false, tooLarge = false;
    for (int digit; i < n && (digit = DigitValue(text[i], base)) >= 0; ++i) {
      value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
      tooLarge = tooLarge || value > 0xFFFFFFFFu;
      any = true;
    }
    if (parenthesis && (i >= n || text[i++] != u')')) return mismatch;
    while (i < n && IsBlank(text[i])) ++i;
    if (!any || i != n) return mismatch;
    if (tooLarge) return {kDispEOverflow, 0};
    // Hexadecimal and octal give the 32-bit pattern.
    const auto pattern = static_cast<int32_t>(static_cast<uint32_t>(value));
    if (negative || parenthesis) {
      if (pattern == std::numeric_limits<int32_t>::min()) return {kDispEOverflow, 0};
      return {kSOk, -pattern};
    }
    return {kSOk, pattern};
  }

  std::string digits;
  int64_t exponent = 0;
  bool any = false, point = false;
  while (i < n) {
    const char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      any = true;
      if (point) --exponent;
      if (!(digits.empty() && c == u'0')) digits += static_cast<char>(c);  // no leading zeros
      ++i;
    } else if (c == u',' && any && !point) {
      ++i;
    } else if (c == u'.' && !point) {
      point = true;
      ++i;
    } else {
      break;
    }
  }
  if (!any) return mismatch;
  if (i < n && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
    size_t j = i + 1;
    bool negativeExponent = false;
    if (j < n && (text[j] == u'+' || text[j] == u'-')) negativeExponent = text[j++] == u'-';
    int64_t value = 0;
    bool exponentDigits = false;
    for (; j < n && text[j] >= u'0' && text[j] <= u'9'; ++j) {
      value = std::min<int64_t>(value * 10 + (text[j] - u'0'), 100000);
      exponentDigits = true;
    }
    if (!exponentDigits) return mismatch;
    exponent += negativeExponent ? -value : value;
    i = j;
  }
  if (parenthesis) {
    if (i >= n || text[i] != u')') return mismatch;
    negative = true;
    ++i;
  } else if (!leadingSign && i < n && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n) return mismatch;

  // The value is digits × 10^exponent, leading zeros gone. Digits beyond the decimal point
  // that were zeros before the first significant digit are counted by the exponent.
  const int64_t wholeDigits = static_cast<int64_t>(digits.size()) + exponent;
  if (digits.empty() || wholeDigits < 0) return {kSOk, 0};
  if (wholeDigits > 10) return {kDispEOverflow, 0};
  int64_t whole = 0;
  for (int64_t k = 0; k < wholeDigits; ++k) {
    whole = whole * 10 + (k < static_cast<int64_t>(digits.size()) ? digits[k] - '0' : 0);
  }
  // Round half to even on the exact decimal digits.
  const std::string fraction =
      wholeDigits < static_cast<int64_t>(digits.size()) ? digits.substr(wholeDigits) : "";
  if (!fraction.empty()) {
    const char first = fraction[0];
    const bool restNonZero = fraction.find_first_not_of('0', 1) != std::string::npos;
    if (first > '5' || (first == '5' && (restNonZero || whole % 2 != 0))) ++whole;
  }
  if (negative) whole = -whole;
  if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max()) {
    return {kDispEOverflow, 0};
  }
  return {kSOk, static_cast<int32_t>(whole)};
}

std::u16string FormatDouble(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15G", value);
  return Widen(text);
}

Converted<int32_t> ConvertToInt32(const ScriptValue& value) {
  switch (value.type) {
    case ScriptValue::Type::kEmpty:
      return {kSOk, 0};
    case ScriptValue::Type::kNull:
      return {kDispETypeMismatch, 0};
    case ScriptValue::Type::kBool:
      return {kSOk, value.boolean ? -1 : 0};
    case ScriptValue::Type::kInt32:
      return {kSOk, value.int32};
    case ScriptValue::Type::kDouble:
      return RoundToInt32(value.number);
    case ScriptValue::Type::kString:
      return ParseInt32(value.text);
    case ScriptValue::Type::kObject:
      if (value.object) {
        if (const std::optional<ScriptValue> inner = value.object->DefaultValue();
            inner && inner->type != ScriptValue::Type::kObject) {
          return ConvertToInt32(*inner);
        }
      }
      return {kDispETypeMismatch, 0};
  }
  return {kDispETypeMismatch, 0};
}

Converted<std::u16string> ConvertToString(const ScriptValue& value) {
  switch (value.type) {
    case ScriptValue::Type::kEmpty:
      return {kSOk, u""};
    case ScriptValue::Type::kNull:
      return {kDispETypeMismatch, u""};
    case ScriptValue::Type::kBool:
      return {kSOk, value.boolean ? u"-1" : u"0"};
    case ScriptValue::Type::kInt32:
      return {kSOk, Widen(std::to_string(value.int32).c_str())};
    case ScriptValue::Type::kDouble:
      return {kSOk, FormatDouble(value.number)};
    case ScriptValue::Type::kString:
      return {kSOk, value.text};
    case ScriptValue::Type::kObject:
      if (value.object) {
        if (const std::optional<ScriptValue> inner = value.object->DefaultValue();
            inner && inner->type != ScriptValue::Type::kObject) {
          return ConvertToString(*inner);
        }
      }
      return {kDispETypeMismatch, u""};
  }
  return {kDispETypeMismatch, u""};
}

Converted<std::shared_ptr<IScriptObject>> ConvertToObject(const ScriptValue& value) {
  if (value.type == ScriptValue::Type::kObject) return {kSOk, value.object};
  if (value.type == ScriptValue::Type::kEmpty) return {kSOk, nullptr};
  return {kDispETypeMismatch, nullptr};
}

}  // namespace zeva
