#include "ports/win32/browser_events.h"

#include <exdisp.h>
#include <exdispid.h>

#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

// Argument `index` in the event's own order (the array holds them last first), with
// references to variants followed; null when the browser passed fewer.
const VARIANT* Argument(const DISPPARAMS* params, UINT index) {
  if (!params || index >= params->cArgs) return nullptr;
  const VARIANT* value = &params->rgvarg[params->cArgs - 1 - index];
  while (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value)) {
    value = V_VARIANTREF(value);
  }
  return value;
}

std::u16string TextOf(const VARIANT* value) {
  if (!value) return {};
  if (V_VT(value) == VT_BSTR) {
    return V_BSTR(value) ? FromWide({V_BSTR(value), ::SysStringLen(V_BSTR(value))}) : u"";
  }
  VARIANT text;
  ::VariantInit(&text);
  std::u16string result;
  if (SUCCEEDED(::VariantChangeType(&text, const_cast<VARIANT*>(value), 0, VT_BSTR)) &&
      V_BSTR(&text)) {
    result = FromWide({V_BSTR(&text), ::SysStringLen(V_BSTR(&text))});
  }
  ::VariantClear(&text);
  return result;
}

int32_t NumberOf(const VARIANT* value) {
  if (!value) return 0;
  VARIANT number;
  ::VariantInit(&number);
  int32_t result = 0;
  if (SUCCEEDED(::VariantChangeType(&number, const_cast<VARIANT*>(value), 0, VT_I4)))
    result = V_I4(&number);
  ::VariantClear(&number);
  return result;
}

IDispatch* DispatchOf(const VARIANT* value) {
  return value && V_VT(value) == VT_DISPATCH ? V_DISPATCH(value) : nullptr;
}

// The Cancel argument: a reference to the browser's boolean.
void SetCancel(const DISPPARAMS* params, UINT index, bool cancel) {
  const VARIANT* value = Argument(params, index);
  if (value && V_VT(value) == (VT_BYREF | VT_BOOL) && V_BOOLREF(value)) {
    *V_BOOLREF(value) = cancel ? VARIANT_TRUE : VARIANT_FALSE;
  }
}

}  // namespace

HRESULT BrowserEvents::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG BrowserEvents::AddRef() {
  return ++m_references;
}

ULONG BrowserEvents::Release() {
  const ULONG left = --m_references;
  if (left == 0) delete this;
  return left;
}

HRESULT BrowserEvents::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT BrowserEvents::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT BrowserEvents::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT BrowserEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                              EXCEPINFO*, UINT*) {
  IBrowserEventHandler* const handler = m_handler;
  if (!handler) return S_OK;
  AddRef();  // a handler may let go of the sink while it runs
  switch (id) {
    case DISPID_NAVIGATECOMPLETE2:  // (frame, URL)
      handler->OnNavigateComplete2(DispatchOf(Argument(params, 0)), TextOf(Argument(params, 1)));
      break;
    case DISPID_DOCUMENTCOMPLETE:  // (frame, URL)
      handler->OnDocumentComplete(DispatchOf(Argument(params, 0)), TextOf(Argument(params, 1)));
      break;
    case DISPID_PROGRESSCHANGE:  // (progress, maximum)
      handler->OnProgressChange(NumberOf(Argument(params, 0)), NumberOf(Argument(params, 1)));
      break;
    case DISPID_NAVIGATEERROR:  // (frame, URL, target frame name, status, cancel)
      if (handler->OnNavigateError(DispatchOf(Argument(params, 0)), TextOf(Argument(params, 1)),
                                   NumberOf(Argument(params, 3)))) {
        SetCancel(params, 4, true);
      }
      break;
    case DISPID_NEWWINDOW3:  // (new browser, cancel, flags, referring URL, URL)
      if (handler->OnNewWindow3(TextOf(Argument(params, 4)), TextOf(Argument(params, 3)))) {
        SetCancel(params, 1, true);
      }
      break;
    default:
      break;
  }
  Release();
  return S_OK;
}

}  // namespace zeva::win32
