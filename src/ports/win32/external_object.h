// window.external for the IE control: an IDispatch that converts the script's VARIANTs with
// the system's own VariantChangeType and hands the call to the core dispatcher.
#pragma once

#include <windows.h>
// After windows.h:
#include <oaidl.h>

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

class ExternalObject final : public IDispatch {
 public:
  // `pageUrl` tells the address of the page that calls (the browser's current document);
  // `pageFacts` what the browser knows of objects pages hand over (none: no browser, so no
  // object is a top document).
  ExternalObject(ExternalDispatcher& dispatcher, std::function<std::u16string()> pageUrl,
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

 private:
  ~ExternalObject() = default;

  std::atomic<ULONG> m_references{1};
  ExternalDispatcher& m_dispatcher;
  std::function<std::u16string()> m_pageUrl;
  PageFactsSource m_pageFacts;
};

// A page object (its document, its window...) as the core sees it, made on the page's own
// thread. Other threads reach the page's script by a message to that thread.
std::shared_ptr<IScriptObject> WrapPageObject(IDispatch* object, PageFacts facts = {});

}  // namespace zeva::win32
