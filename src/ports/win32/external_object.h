// window.external for the IE control: an IDispatch that converts the script's VARIANTs with
// the system's own VariantChangeType and hands the call to the core dispatcher.
#pragma once

#include <windows.h>
// After windows.h:
#include <dispex.h>
#include <oaidl.h>
#include <servprov.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/external_dispatcher.h"

namespace zeva::win32 {

// What the browser knows of an object a page hands over, taken as the page hands it over.
struct PageFacts {
  // The object is the document of the browser's top page.
  bool isTopDocument = false;
  // The browser's count of top documents and its value at hand-over: the object's page is
  // the one shown while the two agree. Null: no browser counts (shown for as long as it lives).
  std::shared_ptr<const std::atomic<uint64_t>> shownCount;
  uint64_t shownAt = 0;
};

using PageFactsSource = std::function<PageFacts(IDispatch* object)>;

// mingw's libuuid lacks these identifiers.
inline constexpr IID kIidDispatchEx = {
    0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};
inline constexpr IID kIidActiveScriptSite = {
    0xdb01a1e3, 0xa42b, 0x11cf, {0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64}};

// The address of the document whose script makes a call, found from the caller its script
// engine hands to IDispatchEx::InvokeEx (the frame's own document, not the top page's);
// empty when there is no caller or no document behind it.
std::u16string CallingDocumentAddress(IServiceProvider* caller);

using CallerAddress = std::function<std::u16string(IServiceProvider* caller)>;

// Script engines call through IDispatchEx, handing over their caller: the core decides by the
// calling frame's address. A call through plain IDispatch has no caller to tell.
class ExternalObject final : public IDispatchEx {
 public:
  // `callerAddress` tells the address of the document that calls (null caller: a plain
  // IDispatch call); `pageFacts` what the browser knows of objects pages hand over (none: no
  // browser, so no object is a top document).
  ExternalObject(ExternalDispatcher& dispatcher,
                 CallerAddress callerAddress = CallingDocumentAddress,
                 PageFactsSource pageFacts = {});

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
  // IDispatchEx: names and calls as through IDispatch, with the caller; nothing dynamic.
  HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD flags, DISPID* id) override;
  HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     IServiceProvider* caller) override;
  HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR name, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID id) override;
  HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID id, DWORD fetch, DWORD* properties) override;
  HRESULT STDMETHODCALLTYPE GetMemberName(DISPID id, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD flags, DISPID id, DISPID* next) override;
  HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown** parent) override;

 private:
  ~ExternalObject() = default;
  HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argumentError,
               IServiceProvider* caller);

  std::atomic<ULONG> m_references{1};
  ExternalDispatcher& m_dispatcher;
  CallerAddress m_callerAddress;
  PageFactsSource m_pageFacts;
};

// A page object (its document, its window...) as the core sees it, made on the page's own
// thread. Other threads reach the page's script by a message to that thread.
std::shared_ptr<IScriptObject> WrapPageObject(IDispatch* object, PageFacts facts = {});

}  // namespace zeva::win32
