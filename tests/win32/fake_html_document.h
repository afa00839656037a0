// A stand-in for the browser's HTML document (the IE control renders nothing under Wine):
// it answers for the document interface and its Script property, whose OnDownloadProgress
// records its calls and the threads they ran on. Free-threaded by default (COM would hand
// every thread the object itself); apartment-threaded on request, as the browser's document
// is (other threads would get a proxy). The port must call either only on its own thread.
#pragma once

#include <windows.h>
// After windows.h:
#include <mshtml.h>
#include <objidl.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace zeva::test {

class FakeScript final : public IDispatch {
 public:
  bool hasFunction = true;

  std::vector<std::vector<int32_t>> Calls() {
    const std::lock_guard lock(m_mutex);
    return m_calls;
  }
  std::vector<DWORD> Threads() {
    const std::lock_guard lock(m_mutex);
    return m_threads;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
  ULONG STDMETHODCALLTYPE Release() override { return --m_references; }  // owned by the test
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* ids) override {
    if (hasFunction && std::wstring(names[0]) == L"OnDownloadProgress") {
      ids[0] = 7;
      return S_OK;
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    if (id != 7) return DISP_E_MEMBERNOTFOUND;
    std::vector<int32_t> args;
    for (UINT i = params->cArgs; i-- > 0;) args.push_back(V_I4(&params->rgvarg[i]));
    const std::lock_guard lock(m_mutex);
    m_calls.push_back(args);
    m_threads.push_back(::GetCurrentThreadId());
    return S_OK;
  }

 private:
  std::atomic<ULONG> m_references{1};
  std::mutex m_mutex;
  std::vector<std::vector<int32_t>> m_calls;
  std::vector<DWORD> m_threads;
};

class FakeHtmlDocument final : public IDispatch {
 public:
  explicit FakeHtmlDocument(bool freeThreaded = true) {
    if (freeThreaded) ::CoCreateFreeThreadedMarshaler(this, &m_marshaler);
  }
  ~FakeHtmlDocument() {
    if (m_marshaler) m_marshaler->Release();
  }
  FakeScript script;

  ULONG References() const { return m_references.load(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IHTMLDocument2) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    if (riid == IID_IMarshal && m_marshaler) return m_marshaler->QueryInterface(riid, object);
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
  ULONG STDMETHODCALLTYPE Release() override { return --m_references; }  // owned by the test
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) override {
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  // The first method of the document interface after IDispatch's: declared first here so it
  // takes the same place in the table of virtual functions. Nothing else of it is called.
  virtual HRESULT STDMETHODCALLTYPE get_Script(IDispatch** result) {
    script.AddRef();
    *result = &script;
    return S_OK;
  }

 private:
  std::atomic<ULONG> m_references{1};
  IUnknown* m_marshaler = nullptr;
};

}  // namespace zeva::test
