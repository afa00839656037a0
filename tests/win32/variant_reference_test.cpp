// Our argument conversion against the system's VariantChangeType: one table of inputs, the
// same answers (result code and value).
#include <windows.h>
// After windows.h:
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/script_value.h"
#include "platform/unicode.h"
#include "ports/win32/wide.h"

namespace zeva {
namespace {

struct Input {
  const char* label;
  ScriptValue ours;
};

std::vector<Input> Inputs() {
  return {
      {"int 42", ScriptValue::Int32(42)},
      {"int -7", ScriptValue::Int32(-7)},
      {"double 2.5", ScriptValue::Double(2.5)},
      {"double 3.5", ScriptValue::Double(3.5)},
      {"double -2.5", ScriptValue::Double(-2.5)},
      {"double 0.1", ScriptValue::Double(0.1)},
      {"double 1e21", ScriptValue::Double(1e21)},
      {"double 1234.5678", ScriptValue::Double(1234.5678)},
      {"double 2^31", ScriptValue::Double(2147483648.0)},
      {"double -2^31-1", ScriptValue::Double(-2147483649.0)},
      {"double 2147483647.5", ScriptValue::Double(2147483647.5)},
      {"double NaN", ScriptValue::Double(std::nan(""))},
      {"string &H10", ScriptValue::String(u"&H10")},
      {"string ' 42 '", ScriptValue::String(u" 42 ")},
      {"string 1e3", ScriptValue::String(u"1e3")},
      {"string empty", ScriptValue::String(u"")},
      {"string abc", ScriptValue::String(u"abc")},
      {"string 2.5", ScriptValue::String(u"2.5")},
      {"string 3.5", ScriptValue::String(u"3.5")},
      {"string -12", ScriptValue::String(u"-12")},
      {"string 1,000", ScriptValue::String(u"1,000")},
      {"string 2147483648", ScriptValue::String(u"2147483648")},
      {"string -2147483648", ScriptValue::String(u"-2147483648")},
      {"string &O17", ScriptValue::String(u"&O17")},
      {"string (5)", ScriptValue::String(u"(5)")},
      {"string 5-", ScriptValue::String(u"5-")},
      {"string 0x10", ScriptValue::String(u"0x10")},
      {"string 穿越", ScriptValue::String(u"穿越")},
      {"true", ScriptValue::Boolean(true)},
      {"false", ScriptValue::Boolean(false)},
      {"null", ScriptValue::Null()},
      {"empty", ScriptValue::Empty()},
  };
}

VARIANT ToVariant(const ScriptValue& value) {
  VARIANT v;
  ::VariantInit(&v);
  switch (value.type) {
    case ScriptValue::Type::kEmpty:
      break;
    case ScriptValue::Type::kNull:
      V_VT(&v) = VT_NULL;
      break;
    case ScriptValue::Type::kBool:
      V_VT(&v) = VT_BOOL;
      V_BOOL(&v) = value.boolean ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case ScriptValue::Type::kInt32:
      V_VT(&v) = VT_I4;
      V_I4(&v) = value.int32;
      break;
    case ScriptValue::Type::kDouble:
      V_VT(&v) = VT_R8;
      V_R8(&v) = value.number;
      break;
    case ScriptValue::Type::kString: {
      const std::wstring text = win32::Wide(value.text);
      V_VT(&v) = VT_BSTR;
      V_BSTR(&v) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      break;
    }
    case ScriptValue::Type::kObject:
      break;
  }
  return v;
}

TEST(VariantReferenceTest, ConversionsAgreeWithVariantChangeType) {
  for (const Input& input : Inputs()) {
    SCOPED_TRACE(input.label);
    VARIANT source = ToVariant(input.ours);

    VARIANT number;
    ::VariantInit(&number);
    const HRESULT numberResult = ::VariantChangeType(&number, &source, 0, VT_I4);
    const Converted<int32_t> ours = ConvertToInt32(input.ours);
    EXPECT_EQ(ours.error, static_cast<HResult>(numberResult)) << "to int32";
    if (SUCCEEDED(numberResult)) {
      EXPECT_EQ(ours.value, V_I4(&number)) << "to int32";
    }
    ::VariantClear(&number);

    VARIANT text;
    ::VariantInit(&text);
    const HRESULT textResult = ::VariantChangeType(&text, &source, 0, VT_BSTR);
    const Converted<std::u16string> oursText = ConvertToString(input.ours);
    EXPECT_EQ(oursText.error, static_cast<HResult>(textResult)) << "to string";
    if (SUCCEEDED(textResult)) {
      const std::u16string theirs =
          win32::FromWide(std::wstring_view(V_BSTR(&text), ::SysStringLen(V_BSTR(&text))));
      EXPECT_EQ(Utf16ToUtf8(oursText.value), Utf16ToUtf8(theirs)) << "to string";
    }
    ::VariantClear(&text);
    ::VariantClear(&source);
  }
}

}  // namespace
}  // namespace zeva
