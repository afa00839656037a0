// window.external for the IE control: an IDispatch that converts the script's VARIANTs with
// the system's own VariantChangeType and hands the call to the core dispatcher.
#pragma once

#include <windows.h>
// After windows.h:
#include <oaidl.h>

#include <atomic>
#include <functional>
#include <string>

#include "host/external_dispatcher.h"

namespace zeva::win32 {

class ExternalObject final : public IDispatch {
 public:
  // `pageUrl` tells the address of the page that calls (the browser's current document).
  ExternalObject(ExternalDispatcher& dispatcher, std::function<std::u16string()> pageUrl);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 private:
  ~ExternalObject() = default;

  std::atomic<ULONG> m_references{1};
  ExternalDispatcher& m_dispatcher;
  std::function<std::u16string()> m_pageUrl;
};

// A page object (its document, its window...) as the core sees it. The document is kept in
// the global interface table, so notification threads can reach the page's script.
std::shared_ptr<IScriptObject> WrapPageObject(IDispatch* object);

}  // namespace zeva::win32
