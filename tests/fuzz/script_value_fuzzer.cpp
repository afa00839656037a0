// libFuzzer target: the script interface's conversions. Any text through the integer
// parser; any double and integer through the conversions and back, where the variant rules
// say they survive.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "host/script_value.h"

namespace zeva {
namespace {

void FuzzNumbers(const uint8_t* data) {
  double number = 0;
  std::memcpy(&number, data, sizeof number);
  int32_t integer = 0;
  std::memcpy(&integer, data, sizeof integer);

  const std::u16string text = FormatDouble(number);
  Check(!text.empty(), "a double always has a text");
  (void)ConvertToInt32(ScriptValue::Double(number));
  (void)ConvertToString(ScriptValue::Number(number));
  // Whole numbers in range come back exactly from their text.
  if (std::isfinite(number) && number == std::trunc(number) && number >= INT32_MIN &&
      number <= INT32_MAX) {
    const Converted<int32_t> back = ParseInt32(text);
    Check(back.error == kSOk && back.value == static_cast<int32_t>(number),
          "a whole double's text parses back");
  }
  const Converted<std::u16string> written = ConvertToString(ScriptValue::Int32(integer));
  Check(written.error == kSOk, "an integer always converts to text");
  const Converted<int32_t> parsed = ParseInt32(written.value);
  Check(parsed.error == kSOk && parsed.value == integer, "an integer's text parses back");
}

}  // namespace
}  // namespace zeva

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zeva;
  if (size >= 8) FuzzNumbers(data);
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  (void)ParseInt32(text);
  (void)ConvertToInt32(ScriptValue::String(text));
  return 0;
}
