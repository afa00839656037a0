#include "ports/win32/doc_host_site.h"

#include <mshtml.h>

#include <optional>
#include <string>

#include "ports/win32/com_ids.h"
#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

// ActiveX actions (running, initialising and scripting controls) and scripting actions
// (active scripting, paste through script, data sources across domains...).
constexpr DWORD kActiveXActionsFirst = 0x1200, kActiveXActionsLast = 0x13FF;
constexpr DWORD kScriptActionsFirst = 0x1400, kScriptActionsLast = 0x15FF;

void SetBool(VARIANT* out, bool value) {
  if (!out) return;
  ::VariantInit(out);
  V_VT(out) = VT_BOOL;
  V_BOOL(out) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

// The text of the message the browser is about to show: the current event's "messageText"
// in the window of the document the browser passes.
std::optional<std::wstring> MessageText(const VARIANT* in) {
  if (!in || (V_VT(in) != VT_UNKNOWN && V_VT(in) != VT_DISPATCH) || !V_UNKNOWN(in)) {
    return std::nullopt;
  }
  std::optional<std::wstring> text;
  IHTMLDocument2* document = nullptr;
  IHTMLWindow2* window = nullptr;
  IHTMLEventObj* event = nullptr;
  if (SUCCEEDED(
          V_UNKNOWN(in)->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document))) &&
      SUCCEEDED(document->get_parentWindow(&window)) && window &&
      SUCCEEDED(window->get_event(&event)) && event) {
    std::wstring name = L"messageText";
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT value;
    ::VariantInit(&value);
    if (SUCCEEDED(event->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id)) &&
        SUCCEEDED(event->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                &value, nullptr, nullptr)) &&
        V_VT(&value) == VT_BSTR) {
      text.emplace(V_BSTR(&value) ? V_BSTR(&value) : L"", ::SysStringLen(V_BSTR(&value)));
    }
    ::VariantClear(&value);
  }
  if (event) event->Release();
  if (window) window->Release();
  if (document) document->Release();
  return text;
}

}  // namespace

CDocHostSite::CDocHostSite(IDocHostView& view, HWND window)
    : OleControlSite(window), m_view(&view) {}

IUnknown* CDocHostSite::FindInterface(REFIID riid) {
  if (riid == kIidDocHostShowUI) return &m_xDocHostShowUI;
  if (riid == IID_IDocHostUIHandler) return &m_xDocHostUIHandler;
  if (riid == IID_IInternetSecurityManager) return &m_xInternetSecurityManager;
  if (riid == IID_IServiceProvider) return &m_xServiceProvider;
  if (riid == IID_IOleCommandTarget) return &m_xOleCommandTarget;
  return OleControlSite::FindInterface(riid);
}

// Message boxes: the control's own.

HRESULT CDocHostSite::XDocHostShowUI::ShowMessage(HWND window, LPOLESTR text, LPOLESTR caption,
                                                  DWORD type, LPOLESTR helpFile, DWORD helpContext,
                                                  LRESULT* result) {
  if (!m_outer->m_view) return S_FALSE;  // the browser's own box
  return m_outer->m_view->OnShowMessage(window, text, caption, type, helpFile, helpContext, result);
}

HRESULT CDocHostSite::XDocHostShowUI::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) {
  return E_NOTIMPL;
}

// The document's user interface: no menus, the rest as the browser does it.

HRESULT CDocHostSite::XDocHostUIHandler::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
  return S_OK;  // shown, as far as the browser knows: so it shows none
}

HRESULT CDocHostSite::XDocHostUIHandler::GetHostInfo(DOCHOSTUIINFO* info) {
  if (!info) return E_POINTER;
  if (!m_outer->m_view) return E_FAIL;
  return m_outer->m_view->OnGetHostInfo(info);
}

HRESULT CDocHostSite::XDocHostUIHandler::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                                IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
  return S_FALSE;
}

HRESULT CDocHostSite::XDocHostUIHandler::HideUI() {
  return S_OK;
}

HRESULT CDocHostSite::XDocHostUIHandler::UpdateUI() {
  return S_OK;
}

HRESULT CDocHostSite::XDocHostUIHandler::EnableModeless(BOOL) {
  return S_OK;
}

HRESULT CDocHostSite::XDocHostUIHandler::OnDocWindowActivate(BOOL) {
  return S_OK;
}

HRESULT CDocHostSite::XDocHostUIHandler::OnFrameWindowActivate(BOOL) {
  return S_OK;
}

HRESULT CDocHostSite::XDocHostUIHandler::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
  return S_OK;
}

HRESULT CDocHostSite::XDocHostUIHandler::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
  return E_NOTIMPL;  // every key goes on to the browser
}

HRESULT CDocHostSite::XDocHostUIHandler::GetOptionKeyPath(LPOLESTR* key, DWORD) {
  if (key) *key = nullptr;
  return S_FALSE;
}

HRESULT CDocHostSite::XDocHostUIHandler::GetDropTarget(IDropTarget*, IDropTarget** replacement) {
  if (replacement) *replacement = nullptr;
  return S_FALSE;
}

HRESULT CDocHostSite::XDocHostUIHandler::GetExternal(IDispatch** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!m_outer->m_view) return S_FALSE;
  return m_outer->m_view->OnGetExternal(object);
}

HRESULT CDocHostSite::XDocHostUIHandler::TranslateUrl(DWORD, LPWSTR, LPWSTR* urlOut) {
  if (urlOut) *urlOut = nullptr;
  return S_FALSE;
}

HRESULT CDocHostSite::XDocHostUIHandler::FilterDataObject(IDataObject*, IDataObject** replacement) {
  if (replacement) *replacement = nullptr;
  return S_FALSE;
}

// Security: the client's own pages may run their scripts and controls without prompts;
// every other page, and every other question, is left to the browser's own settings.

HRESULT CDocHostSite::XInternetSecurityManager::SetSecuritySite(IInternetSecurityMgrSite*) {
  return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::GetSecuritySite(IInternetSecurityMgrSite** site) {
  if (site) *site = nullptr;
  return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::MapUrlToZone(LPCWSTR, DWORD*, DWORD) {
  return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) {
  return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::ProcessUrlAction(LPCWSTR url, DWORD action,
                                                                 BYTE* policy, DWORD policySize,
                                                                 BYTE*, DWORD, DWORD, DWORD) {
  const bool allowed = (action >= kActiveXActionsFirst && action <= kActiveXActionsLast) ||
                       (action >= kScriptActionsFirst && action <= kScriptActionsLast);
  if (!allowed || !url || !m_outer->m_view || !m_outer->m_view->IsTrustedPage(FromWide(url))) {
    return INET_E_DEFAULT_ACTION;
  }
  if (!policy || policySize < sizeof(DWORD)) return S_FALSE;
  const DWORD allow = URLPOLICY_ALLOW;
  ::CopyMemory(policy, &allow, sizeof allow);  // the caller's buffer need not be aligned
  return S_OK;
}

HRESULT CDocHostSite::XInternetSecurityManager::QueryCustomPolicy(LPCWSTR, REFGUID, BYTE** policy,
                                                                  DWORD* policySize, BYTE*, DWORD,
                                                                  DWORD) {
  if (policy) *policy = nullptr;
  if (policySize) *policySize = 0;
  return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::SetZoneMapping(DWORD, LPCWSTR, DWORD) {
  return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::GetZoneMappings(DWORD, IEnumString** mappings,
                                                                DWORD) {
  if (mappings) *mappings = nullptr;
  return INET_E_DEFAULT_ACTION;
}

// Services: only the security manager, asked for with its own identifier as the service's.

HRESULT CDocHostSite::XServiceProvider::QueryService(REFGUID service, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (service == IID_IInternetSecurityManager && riid == IID_IInternetSecurityManager) {
    return m_outer->InternalQueryInterface(riid, object);
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// Commands: script errors never stop or show; browser messages about ActiveX are not shown.

HRESULT CDocHostSite::XOleCommandTarget::QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) {
  return OLECMDERR_E_NOTSUPPORTED;
}

HRESULT CDocHostSite::XOleCommandTarget::Exec(const GUID* group, DWORD command, DWORD, VARIANT* in,
                                              VARIANT* out) {
  if (!group || *group != kCgidDocHostCommandHandler) return OLECMDERR_E_NOTSUPPORTED;
  switch (command) {
    case OLECMDID_SHOWSCRIPTERROR:
      SetBool(out, true);  // go on running the page's scripts
      return S_OK;
    case OLECMDID_SHOWMESSAGE: {
      const std::optional<std::wstring> text = MessageText(in);
      if (!text) return OLECMDERR_E_NOTSUPPORTED;
      if (text->find(L" ActiveX ") != std::wstring::npos) {
        SetBool(out, true);  // handled: not shown
        return S_OK;
      }
      SetBool(out, false);
      return OLECMDERR_E_NOTSUPPORTED;
    }
    default:
      return OLECMDERR_E_NOTSUPPORTED;
  }
}

}  // namespace zeva::win32
