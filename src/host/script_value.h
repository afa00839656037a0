// Values that cross the script interface, with the Automation conversion rules, so both
// browsers (the IE control's VARIANTs and WebKit's JavaScript values) reach the methods alike.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zeva {

using HResult = int32_t;

// Automation result codes, as the scripts see them.
inline constexpr HResult kSOk = 0;
inline constexpr HResult kDispEUnknownName = static_cast<HResult>(0x80020006);
inline constexpr HResult kDispEMemberNotFound = static_cast<HResult>(0x80020003);
inline constexpr HResult kDispETypeMismatch = static_cast<HResult>(0x80020005);
inline constexpr HResult kDispEOverflow = static_cast<HResult>(0x8002000A);
inline constexpr HResult kDispEBadParamCount = static_cast<HResult>(0x8002000E);
inline constexpr HResult kDispEParamNotOptional = static_cast<HResult>(0x8002000F);
inline constexpr HResult kEAccessDenied = static_cast<HResult>(0x80070005);

struct ScriptValue;

// An object handed over by the page (its document, its window, a function...).
class IScriptObject {
 public:
  virtual ~IScriptObject() = default;
  // True only for an HTML document itself (not an object made to look like one).
  virtual bool IsHtmlDocument() const = 0;
  // True for the document of the browser's top page, false for a frame's.
  virtual bool IsTopDocument() const = 0;
  // Whether the page this object came from is still the one its browser shows.
  virtual bool IsShown() const = 0;
  // Calls the page's global function `name` with integer arguments; false when the page has
  // no such function, cannot be reached, or has not answered within `wait`. Any thread;
  // returns after the call has returned. On the page's own thread the call is queued and
  // counts as made (the page may be inside a call that waits for this thread).
  virtual bool CallPageFunction(std::u16string_view name, std::span<const int32_t> args,
                                std::chrono::milliseconds wait) = 0;
  // The object's default value (what converting it to text gives); nothing when it has none.
  virtual std::optional<ScriptValue> DefaultValue() const = 0;
};

struct ScriptValue {
  enum class Type { kEmpty, kNull, kBool, kInt32, kDouble, kString, kObject };

  Type type = Type::kEmpty;
  bool boolean = false;
  int32_t int32 = 0;
  double number = 0;
  std::u16string text;
  std::shared_ptr<IScriptObject> object;

  static ScriptValue Empty() { return {}; }
  static ScriptValue Null() { return Make(Type::kNull); }
  static ScriptValue Boolean(bool value) {
    ScriptValue v = Make(Type::kBool);
    v.boolean = value;
    return v;
  }
  static ScriptValue Int32(int32_t value) {
    ScriptValue v = Make(Type::kInt32);
    v.int32 = value;
    return v;
  }
  static ScriptValue Double(double value) {
    ScriptValue v = Make(Type::kDouble);
    v.number = value;
    return v;
  }
  static ScriptValue String(std::u16string value) {
    ScriptValue v = Make(Type::kString);
    v.text = std::move(value);
    return v;
  }
  static ScriptValue Object(std::shared_ptr<IScriptObject> value) {
    ScriptValue v = Make(Type::kObject);
    v.object = std::move(value);
    return v;
  }
  // A JavaScript number: integral values in range are integers, as JScript passes them.
  static ScriptValue Number(double value);

 private:
  static ScriptValue Make(Type type) {
    ScriptValue v;
    v.type = type;
    return v;
  }
};

template <typename T>
struct Converted {
  HResult error = kSOk;
  T value{};
};

// The standard variant conversions (VariantChangeType with no flags).
Converted<int32_t> ConvertToInt32(const ScriptValue& value);
Converted<std::u16string> ConvertToString(const ScriptValue& value);
Converted<std::shared_ptr<IScriptObject>> ConvertToObject(const ScriptValue& value);

// Text to an integer as the variant conversion parses it: blanks around, signs before or
// after, parentheses, thousands separators, fractions rounded half to even, exponents,
// "&H" hexadecimal and "&O" octal.
Converted<int32_t> ParseInt32(std::u16string_view text);
// A double as the variant conversion writes it (15 significant digits, "E+21" style).
std::u16string FormatDouble(double value);

}  // namespace zeva
