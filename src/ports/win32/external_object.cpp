#include "ports/win32/external_object.h"

#include <mshtml.h>
#include <objidl.h>

#include <vector>

#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

// A page object registered in the global interface table for as long as the core holds it.
class ComScriptObject final : public IScriptObject {
 public:
  ComScriptObject(IDispatch* object, PageFacts facts) : m_facts(std::move(facts)) {
    IHTMLDocument2* document = nullptr;
    if (SUCCEEDED(
            object->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document)))) {
      m_isDocument = true;
      IGlobalInterfaceTable* table = nullptr;
      if (SUCCEEDED(::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IGlobalInterfaceTable,
                                       reinterpret_cast<void**>(&table)))) {
        if (FAILED(table->RegisterInterfaceInGlobal(document, IID_IHTMLDocument2, &m_cookie))) {
          m_cookie = 0;
        }
        table->Release();
      }
      document->Release();
    }
    // The text an object gives when a script converts it (for string parameters).
    VARIANT source, text;
    ::VariantInit(&source);
    ::VariantInit(&text);
    V_VT(&source) = VT_DISPATCH;
    V_DISPATCH(&source) = object;
    object->AddRef();
    if (SUCCEEDED(::VariantChangeType(&text, &source, 0, VT_BSTR))) {
      m_defaultText = FromWide(std::wstring_view(V_BSTR(&text), ::SysStringLen(V_BSTR(&text))));
      m_hasDefault = true;
    }
    ::VariantClear(&text);
    ::VariantClear(&source);
  }

  ~ComScriptObject() override {
    if (!m_cookie) return;
    IGlobalInterfaceTable* table = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGlobalInterfaceTable,
                                     reinterpret_cast<void**>(&table)))) {
      table->RevokeInterfaceFromGlobal(m_cookie);
      table->Release();
    }
  }

  bool IsHtmlDocument() const override { return m_isDocument && m_cookie != 0; }
  bool IsTopDocument() const override { return IsHtmlDocument() && m_facts.isTopDocument; }
  // Read on notification threads: the count is the browser's, the value at hand-over ours.
  bool IsShown() const override {
    return !m_facts.shownCount || m_facts.shownCount->load() == m_facts.shownAt;
  }

  std::optional<ScriptValue> DefaultValue() const override {
    if (!m_hasDefault) return std::nullopt;
    return ScriptValue::String(m_defaultText);
  }

  // Runs on any thread: the reference from the table is a proxy that carries the call over
  // to the page's thread, and this thread waits until the page's function has returned.
  // A cross-apartment call cannot be abandoned: `wait` is not enforced here.
  bool CallPageFunction(std::u16string_view name, std::span<const int32_t> args,
                        std::chrono::milliseconds /*wait*/) override {
    if (!m_cookie) return false;
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // an initialised thread keeps its own
    IGlobalInterfaceTable* table = nullptr;
    IHTMLDocument2* document = nullptr;
    IDispatch* script = nullptr;
    bool called = false;
    if (SUCCEEDED(::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGlobalInterfaceTable,
                                     reinterpret_cast<void**>(&table))) &&
        SUCCEEDED(table->GetInterfaceFromGlobal(m_cookie, IID_IHTMLDocument2,
                                                reinterpret_cast<void**>(&document))) &&
        SUCCEEDED(document->get_Script(&script)) && script) {
      std::wstring wideName = Wide(name);
      LPOLESTR names[] = {wideName.data()};
      DISPID id = 0;
      if (SUCCEEDED(script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id)) &&
          id != 0) {
        // The last argument comes first in the array.
        std::vector<VARIANT> values(args.size());
        for (size_t i = 0; i < args.size(); ++i) {
          VARIANT& v = values[args.size() - 1 - i];
          ::VariantInit(&v);
          V_VT(&v) = VT_I4;
          V_I4(&v) = args[i];
        }
        DISPPARAMS params{values.data(), nullptr, static_cast<UINT>(values.size()), 0};
        VARIANT result;
        ::VariantInit(&result);
        EXCEPINFO exception{};
        script->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, &result,
                       &exception, nullptr);
        ::VariantClear(&result);
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
        called = true;
      }
    }
    if (script) script->Release();
    if (document) document->Release();
    if (table) table->Release();
    return called;
  }

 private:
  PageFacts m_facts;
  bool m_isDocument = false;
  DWORD m_cookie = 0;
  bool m_hasDefault = false;
  std::u16string m_defaultText;
};

VARTYPE VariantTypeOf(ParamType type) {
  switch (type) {
    case ParamType::kString:
      return VT_BSTR;
    case ParamType::kInt32:
      return VT_I4;
    case ParamType::kObject:
      return VT_DISPATCH;
  }
  return VT_EMPTY;
}

}  // namespace

std::shared_ptr<IScriptObject> WrapPageObject(IDispatch* object, PageFacts facts) {
  if (!object) return nullptr;
  return std::make_shared<ComScriptObject>(object, std::move(facts));
}

ExternalObject::ExternalObject(ExternalDispatcher& dispatcher,
                               std::function<std::u16string()> pageUrl, PageFactsSource pageFacts)
    : m_dispatcher(dispatcher), m_pageUrl(std::move(pageUrl)), m_pageFacts(std::move(pageFacts)) {}

HRESULT ExternalObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG ExternalObject::AddRef() {
  return ++m_references;
}

ULONG ExternalObject::Release() {
  const ULONG left = --m_references;
  if (left == 0) delete this;
  return left;
}

HRESULT ExternalObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ExternalObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT ExternalObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  HRESULT result = S_OK;
  ids[0] = names[0] ? FindMethod(FromWide(names[0])) : 0;
  if (ids[0] == 0) {
    ids[0] = DISPID_UNKNOWN;
    result = DISP_E_UNKNOWNNAME;
  }
  // No method has named parameters.
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    result = DISP_E_UNKNOWNNAME;
  }
  return result;
}

HRESULT ExternalObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT* argumentError) {
  if (id < 1 || id > kMethodCount) return DISP_E_MEMBERNOTFOUND;
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (params && params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  const MethodInfo& method = MethodTable()[static_cast<size_t>(id - 1)];
  const UINT count = params ? params->cArgs : 0;

  // Arguments arrive last first. Counts are the core's to refuse; conversions the system's.
  std::vector<ScriptValue> values;
  if (count == method.paramCount) {
    values.reserve(count);
    for (UINT i = 0; i < count; ++i) {
      VARIANT& source = params->rgvarg[count - 1 - i];
      VARIANT converted;
      ::VariantInit(&converted);
      const HRESULT hr =
          ::VariantChangeType(&converted, &source, 0, VariantTypeOf(method.params[i]));
      if (FAILED(hr)) {
        if (argumentError) *argumentError = count - 1 - i;
        return hr;
      }
      switch (V_VT(&converted)) {
        case VT_BSTR:
          values.push_back(ScriptValue::String(
              FromWide(std::wstring_view(V_BSTR(&converted), ::SysStringLen(V_BSTR(&converted))))));
          break;
        case VT_I4:
          values.push_back(ScriptValue::Int32(V_I4(&converted)));
          break;
        case VT_DISPATCH: {
          IDispatch* object = V_DISPATCH(&converted);
          PageFacts facts = m_pageFacts && object ? m_pageFacts(object) : PageFacts{};
          values.push_back(ScriptValue::Object(WrapPageObject(object, std::move(facts))));
          break;
        }
        default:
          values.push_back(ScriptValue::Empty());
      }
      ::VariantClear(&converted);
    }
  } else {
    values.resize(count);  // refused by the core for its count
  }

  const InvokeResult outcome = m_dispatcher.Invoke(id, values, m_pageUrl ? m_pageUrl() : u"");
  if (outcome.error != kSOk) {
    if (argumentError) *argumentError = count - 1 - outcome.argumentIndex;
    return outcome.error;
  }
  if (result) {
    ::VariantInit(result);
    switch (outcome.value.type) {
      case ScriptValue::Type::kInt32:
        V_VT(result) = VT_I4;
        V_I4(result) = outcome.value.int32;
        break;
      case ScriptValue::Type::kDouble:
        V_VT(result) = VT_R8;
        V_R8(result) = outcome.value.number;
        break;
      case ScriptValue::Type::kBool:
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = outcome.value.boolean ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      case ScriptValue::Type::kString: {
        const std::wstring text = Wide(outcome.value.text);
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        break;
      }
      default:
        break;
    }
  }
  return S_OK;
}

}  // namespace zeva::win32
