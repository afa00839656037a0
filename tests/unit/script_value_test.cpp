#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/script_value.h"

namespace zeva {
namespace {

TEST(ParseInt32Test, AcceptsWhatTheVariantConversionAccepts) {
  struct Case {
    std::u16string_view text;
    HResult error;
    int32_t value;
  };
  const Case cases[] = {
      {u"42", kSOk, 42},
      {u" 42 ", kSOk, 42},
      {u"\t-7\r\n", kSOk, -7},
      {u"+5", kSOk, 5},
      {u"5-", kSOk, -5},
      {u"(5)", kSOk, -5},
      {u"1,000", kSOk, 1000},
      {u"1e3", kSOk, 1000},
      {u"1.5E+2", kSOk, 150},
      {u"&H10", kSOk, 16},
      {u"&h1f", kSOk, 31},
      {u"&O17", kSOk, 15},
      {u"&HFFFFFFFF", kSOk, -1},
      {u"2.5", kSOk, 2},  // half to even
      {u"3.5", kSOk, 4},
      {u"-2.5", kSOk, -2},
      {u"2.51", kSOk, 3},
      {u"0.5", kSOk, 0},
      {u".5", kSOk, 0},
      {u"1.", kSOk, 1},
      {u"007", kSOk, 7},
      {u"0.0001", kSOk, 0},
      {u"2147483647", kSOk, 2147483647},
      {u"-2147483648", kSOk, std::numeric_limits<int32_t>::min()},
      {u"2147483648", kDispEOverflow, 0},
      {u"-2147483649", kDispEOverflow, 0},
      {u"1e10", kDispEOverflow, 0},
      {u"99999999999999999999", kDispEOverflow, 0},
      {u"&H100000000", kDispEOverflow, 0},
      {u"", kDispETypeMismatch, 0},
      {u"   ", kDispETypeMismatch, 0},
      {u"abc", kDispETypeMismatch, 0},
      {u"12abc", kDispETypeMismatch, 0},
      {u"0x10", kDispETypeMismatch, 0},
      {u"1e", kDispETypeMismatch, 0},
      {u".", kDispETypeMismatch, 0},
      {u"&H", kDispETypeMismatch, 0},
      {u"(5", kDispETypeMismatch, 0},
      {u"--5", kDispETypeMismatch, 0},
      {u"1e999999999", kDispEOverflow, 0},
  };
  for (const Case& c : cases) {
    const Converted<int32_t> result = ParseInt32(c.text);
    EXPECT_EQ(result.error, c.error) << std::string(c.text.begin(), c.text.end());
    if (c.error == kSOk) {
      EXPECT_EQ(result.value, c.value) << std::string(c.text.begin(), c.text.end());
    }
  }
}

TEST(ScriptValueTest, NumbersFromScriptsAreIntegersWhenTheyCanBe) {
  EXPECT_EQ(ScriptValue::Number(5).type, ScriptValue::Type::kInt32);
  EXPECT_EQ(ScriptValue::Number(-2147483648.0).type, ScriptValue::Type::kInt32);
  EXPECT_EQ(ScriptValue::Number(2147483648.0).type, ScriptValue::Type::kDouble);
  EXPECT_EQ(ScriptValue::Number(2.5).type, ScriptValue::Type::kDouble);
  EXPECT_EQ(ScriptValue::Number(-0.0).type, ScriptValue::Type::kDouble);
  EXPECT_EQ(ScriptValue::Number(std::nan("")).type, ScriptValue::Type::kDouble);
}

TEST(ScriptValueTest, ConversionToInt32) {
  EXPECT_EQ(ConvertToInt32(ScriptValue::Empty()).value, 0);
  EXPECT_EQ(ConvertToInt32(ScriptValue::Null()).error, kDispETypeMismatch);
  EXPECT_EQ(ConvertToInt32(ScriptValue::Boolean(true)).value, -1);
  EXPECT_EQ(ConvertToInt32(ScriptValue::Boolean(false)).value, 0);
  EXPECT_EQ(ConvertToInt32(ScriptValue::Double(2.5)).value, 2);
  EXPECT_EQ(ConvertToInt32(ScriptValue::Double(-3.5)).value, -4);
  EXPECT_EQ(ConvertToInt32(ScriptValue::Double(2147483647.4)).value, 2147483647);
  EXPECT_EQ(ConvertToInt32(ScriptValue::Double(2147483647.5)).error, kDispEOverflow);
  EXPECT_EQ(ConvertToInt32(ScriptValue::Double(-2147483648.5)).value,
            std::numeric_limits<int32_t>::min());  // half to even stays in range
  EXPECT_EQ(ConvertToInt32(ScriptValue::Double(-2147483649.0)).error, kDispEOverflow);
  EXPECT_EQ(ConvertToInt32(ScriptValue::Double(std::nan(""))).value, 2147483647);
  EXPECT_EQ(ConvertToInt32(ScriptValue::String(u" 42 ")).value, 42);
  EXPECT_EQ(ConvertToInt32(ScriptValue::Object(nullptr)).error, kDispETypeMismatch);
}

TEST(ScriptValueTest, ConversionToString) {
  EXPECT_EQ(ConvertToString(ScriptValue::Empty()).value, u"");
  EXPECT_EQ(ConvertToString(ScriptValue::Null()).error, kDispETypeMismatch);
  EXPECT_EQ(ConvertToString(ScriptValue::Boolean(true)).value, u"-1");
  EXPECT_EQ(ConvertToString(ScriptValue::Boolean(false)).value, u"0");
  EXPECT_EQ(ConvertToString(ScriptValue::Int32(-12)).value, u"-12");
  EXPECT_EQ(ConvertToString(ScriptValue::Double(2.5)).value, u"2.5");
  EXPECT_EQ(ConvertToString(ScriptValue::Double(0.1)).value, u"0.1");
  EXPECT_EQ(ConvertToString(ScriptValue::String(u"穿越")).value, u"穿越");
}

}  // namespace
}  // namespace zeva
