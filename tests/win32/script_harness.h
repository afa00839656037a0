// Real JScript from the system's script engine (Active Scripting), with named objects in
// scope as a page has `external` and `document`: the smallest script host.
#pragma once

#include <windows.h>
// After windows.h:
#include <activscp.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <utility>

namespace zeva::test {

// mingw's libuuid lacks the script engine's parse interface identifiers.
#if defined(_WIN64)
inline constexpr IID kIidActiveScriptParse = {
    0xC7EF7658, 0xE1EE, 0x480E, {0x97, 0xEA, 0xD5, 0x2C, 0xB4, 0xD7, 0x6D, 0x17}};
#else
inline constexpr IID kIidActiveScriptParse = {
    0xBB1A2AE2, 0xA4F9, 0x11cf, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
#endif
inline constexpr CLSID kClsidJScript = {
    0xf414c260, 0x6ac0, 0x11cf, {0xb6, 0xd1, 0x00, 0xaa, 0x00, 0xbb, 0xbb, 0x58}};

class ScriptSite final : public IActiveScriptSite {
 public:
  explicit ScriptSite(std::map<std::wstring, IDispatch*> items) : m_items(std::move(items)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IActiveScriptSite) {
      *object = static_cast<IActiveScriptSite*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                                        ITypeInfo** info) override {
    if (info) *info = nullptr;
    const auto it = m_items.find(name);
    if (it == m_items.end() || !(mask & SCRIPTINFO_IUNKNOWN)) return TYPE_E_ELEMENTNOTFOUND;
    it->second->AddRef();
    *item = it->second;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

 private:
  std::map<std::wstring, IDispatch*> m_items;
};

// Evaluates a JScript expression with `items` in scope by name; the result as text, or
// "<failed>" when the script threw or the engine is missing.
inline std::wstring EvaluateScript(const std::wstring& expression,
                                   const std::map<std::wstring, IDispatch*>& items) {
  IActiveScript* script = nullptr;
  if (FAILED(::CoCreateInstance(kClsidJScript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                reinterpret_cast<void**>(&script)))) {
    return L"<no script engine>";
  }
  IActiveScriptParse* parse = nullptr;
  script->QueryInterface(kIidActiveScriptParse, reinterpret_cast<void**>(&parse));
  ScriptSite site(items);
  script->SetScriptSite(&site);
  parse->InitNew();
  for (const auto& [name, object] : items) script->AddNamedItem(name.c_str(), SCRIPTITEM_ISVISIBLE);
  script->SetScriptState(SCRIPTSTATE_STARTED);
  VARIANT result;
  ::VariantInit(&result);
  EXCEPINFO exception{};
  const HRESULT hr = parse->ParseScriptText(expression.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                            SCRIPTTEXT_ISEXPRESSION, &result, &exception);
  std::wstring text = L"<failed>";
  VARIANT asText;
  ::VariantInit(&asText);
  if (SUCCEEDED(hr) && SUCCEEDED(::VariantChangeType(&asText, &result, 0, VT_BSTR))) {
    text.assign(V_BSTR(&asText), ::SysStringLen(V_BSTR(&asText)));
  }
  ::VariantClear(&asText);
  ::VariantClear(&result);
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  script->Close();
  parse->Release();
  script->Release();
  return text;
}

}  // namespace zeva::test
