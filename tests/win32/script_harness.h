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

// The document a script runs in, as its script site serves it to callers: only its address.
class CallingDocument final : public IDispatch {
 public:
  explicit CallingDocument(std::wstring url) : m_url(std::move(url)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* ids) override {
    ids[0] = std::wstring(names[0]) == L"URL" ? 1025 : DISPID_UNKNOWN;
    return ids[0] == 1025 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != 1025 || !(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = ::SysAllocString(m_url.c_str());
    return S_OK;
  }

 private:
  std::wstring m_url;
};

// The container's document, as a script site serves it ({B722BE00-4E68-101B-A2BC-00AA00404770}).
inline constexpr GUID kSidContainerDispatch = {
    0xb722be00, 0x4e68, 0x101b, {0xa2, 0xbc, 0x00, 0xaa, 0x00, 0x40, 0x47, 0x70}};

class ScriptSite final : public IActiveScriptSite, public IServiceProvider {
 public:
  // `document`: what the site serves as the document its script runs in (null: nothing, as a
  // host outside a browser).
  explicit ScriptSite(std::map<std::wstring, IDispatch*> items, IDispatch* document = nullptr)
      : m_items(std::move(items)), m_document(document) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IActiveScriptSite) {
      *object = static_cast<IActiveScriptSite*>(this);
      return S_OK;
    }
    if (riid == IID_IServiceProvider && m_document) {
      *object = static_cast<IServiceProvider*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) override {
    *object = nullptr;
    if (service != kSidContainerDispatch || !m_document) return E_NOINTERFACE;
    return m_document->QueryInterface(riid, object);
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
  IDispatch* m_document;
};

// A script engine's caller, as IDispatchEx::InvokeEx receives it: it serves the document the
// script runs in either itself or through the script site it hands out (the two ways engines
// lead to the calling frame), or nothing at all.
class FakeCaller final : public IServiceProvider {
 public:
  enum class Way { kContainer, kThroughSite, kNothing };
  FakeCaller(Way way, IDispatch* document)
      : m_way(way), m_document(document), m_site({}, document) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IServiceProvider) {
      *object = static_cast<IServiceProvider*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) override {
    *object = nullptr;
    static const IID kScriptSite = {
        0xdb01a1e3, 0xa42b, 0x11cf, {0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64}};
    if (m_way == Way::kContainer && service == kSidContainerDispatch) {
      return m_document->QueryInterface(riid, object);
    }
    if (m_way == Way::kThroughSite && service == kScriptSite) {
      return static_cast<IActiveScriptSite&>(m_site).QueryInterface(riid, object);
    }
    return E_NOINTERFACE;
  }

 private:
  Way m_way;
  IDispatch* m_document;
  ScriptSite m_site;
};

// Evaluates a JScript expression with `items` in scope by name, in a document at `documentUrl`
// when one is given; the result as text, or "<failed>" when the script threw or the engine
// is missing.
inline std::wstring EvaluateScript(const std::wstring& expression,
                                   const std::map<std::wstring, IDispatch*>& items,
                                   const std::wstring& documentUrl = {}) {
  IActiveScript* script = nullptr;
  if (FAILED(::CoCreateInstance(kClsidJScript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                reinterpret_cast<void**>(&script)))) {
    return L"<no script engine>";
  }
  IActiveScriptParse* parse = nullptr;
  script->QueryInterface(kIidActiveScriptParse, reinterpret_cast<void**>(&parse));
  CallingDocument document(documentUrl);
  ScriptSite site(items, documentUrl.empty() ? nullptr : &document);
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
