// The WebBrowser's event sink (DWebBrowserEvents2): decodes the few notifications the
// browser control acts on and hands them to it.
#pragma once

#include <windows.h>
// After windows.h:
#include <oaidl.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace zeva::win32 {

class IBrowserEventHandler {
 public:
  // `frame`: the browser (top page or frame) the event is about.
  virtual void OnNavigateComplete2(IDispatch* frame, const std::u16string& url) = 0;
  virtual void OnDocumentComplete(IDispatch* frame, const std::u16string& url) = 0;
  virtual void OnProgressChange(int32_t progress, int32_t maximum) = 0;
  // `status`: an HTTP status or a failure code. True: the browser shows no error page.
  virtual bool OnNavigateError(IDispatch* frame, const std::u16string& url, int32_t status) = 0;
  // True: the browser opens no window of its own.
  virtual bool OnNewWindow3(const std::u16string& url, const std::u16string& referrer) = 0;

 protected:
  ~IBrowserEventHandler() = default;
};

class BrowserEvents final : public IDispatch {
 public:
  // The creator holds the first reference.
  explicit BrowserEvents(IBrowserEventHandler& handler) : m_handler(&handler) {}

  // The handler goes: later events are ignored.
  void Detach() { m_handler = nullptr; }

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
  ~BrowserEvents() = default;

  std::atomic<ULONG> m_references{1};
  IBrowserEventHandler* m_handler;
};

}  // namespace zeva::win32
