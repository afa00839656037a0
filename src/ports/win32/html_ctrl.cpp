#include "ports/win32/html_ctrl.h"

#include <mshtml.h>
#include <urlmon.h>

#include <algorithm>
#include <array>

#include "host/browser_policy.h"
#include "host/origin.h"
#include "host/page_texts.h"
#include "ports/win32/external_object.h"
#include "ports/win32/navigate_error.h"
#include "ports/win32/shown_page_tracker.h"
#include "ports/win32/wide.h"

namespace zeva::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"ZevaHtmlCtrl";
// Posted to itself: the error page is loaded once the failed navigation's event has ended.
constexpr UINT kShowErrorPage = WM_APP + 1;
constexpr wchar_t kBlankPage[] = L"about:blank";

// Pages are given back to the system as the browser loads and completes them.
void TrimWorkingSet() {
  ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1),
                             static_cast<SIZE_T>(-1));
}

bool RegisterWindowClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

uint32_t HandleValue(HWND window) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}

}  // namespace

CHtmlCtrl::CHtmlCtrl(IDialogs& dialogs, IShell& shell, const BrowserSite& site)
    : m_dialogs(dialogs),
      m_shell(shell),
      m_site(site),
      m_pages(std::make_shared<ShownPageTracker>()) {
  if (m_site.external) {
    // The external object may outlive the control in a page's hands: it keeps the tracker,
    // which forgets the browser when the control lets it go.
    std::shared_ptr<ShownPageTracker> pages = m_pages;
    // Each call is judged by the address of the frame whose script makes it.
    m_external = new ExternalObject(*m_site.external, CallingDocumentAddress,
                                    [pages](IDispatch* object) { return pages->FactsOf(object); });
  }
}

CHtmlCtrl::~CHtmlCtrl() {
  if (m_window) ::DestroyWindow(m_window);  // its WM_DESTROY lets go of the browser
  DestroyBrowser();
  if (m_external) m_external->Release();
}

bool CHtmlCtrl::Create(HWND parent, int controlId, const RECT& place) {
  if (m_window || !RegisterWindowClass(&WindowProc)) return false;
  // WM_NCCREATE ties the window to this control (m_window included).
  if (!::CreateWindowExW(0, kWindowClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                         place.left, place.top, place.right - place.left, place.bottom - place.top,
                         parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                         ::GetModuleHandleW(nullptr), this)) {
    return false;
  }
  if (!CreateBrowser()) {
    ::DestroyWindow(m_window);
    return false;
  }
  return true;
}

bool CHtmlCtrl::CreateBrowser() {
  if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&m_object)))) {
    m_object = nullptr;
    return false;
  }
  // The site is in place before the browser asks its first questions.
  m_docHostSite = new CDocHostSite(*this, m_window);
  RECT client{};
  ::GetClientRect(m_window, &client);
  IConnectionPointContainer* sources = nullptr;
  const bool created =
      SUCCEEDED(m_object->SetClientSite(m_docHostSite->ClientSite())) &&
      SUCCEEDED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_docHostSite->ClientSite(), 0,
                                 m_window, &client)) &&
      SUCCEEDED(m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser))) &&
      SUCCEEDED(m_object->QueryInterface(IID_IConnectionPointContainer,
                                         reinterpret_cast<void**>(&sources))) &&
      SUCCEEDED(sources->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_eventSource));
  if (sources) sources->Release();
  if (created) {
    m_events = new BrowserEvents(*this);
    if (FAILED(m_eventSource->Advise(m_events, &m_eventCookie))) m_eventCookie = 0;
  }
  if (!created || !m_eventCookie) {
    DestroyBrowser();
    return false;
  }
  m_pages->Attach(m_browser);
  return true;
}

void CHtmlCtrl::DestroyBrowser() {
  m_pages->Detach();
  m_failedAddress.clear();
  if (m_eventSource) {
    if (m_eventCookie) m_eventSource->Unadvise(m_eventCookie);
    m_eventSource->Release();
  }
  m_eventSource = nullptr;
  m_eventCookie = 0;
  if (m_events) {
    m_events->Detach();
    m_events->Release();
  }
  m_events = nullptr;
  if (m_browser) m_browser->Release();
  m_browser = nullptr;
  if (m_object) {
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(
            m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
      inPlace->InPlaceDeactivate();
      inPlace->Release();
    }
    m_object->Close(OLECLOSE_NOSAVE);
    m_object->SetClientSite(nullptr);
    m_object->Release();
  }
  m_object = nullptr;
  if (m_docHostSite) {
    m_docHostSite->Detach();  // in case the browser still holds it
    m_docHostSite->InternalRelease();
  }
  m_docHostSite = nullptr;
}

LRESULT CALLBACK CHtmlCtrl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* creator =
        static_cast<CHtmlCtrl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    creator->m_window = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creator));
  }
  auto* control = reinterpret_cast<CHtmlCtrl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!control) return ::DefWindowProcW(window, message, wParam, lParam);
  return control->HandleMessage(message, wParam, lParam);
}

LRESULT CHtmlCtrl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND window = m_window;
  switch (message) {
    case WM_SIZE:
      if (m_object) {
        IOleInPlaceObject* inPlace = nullptr;
        if (SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject,
                                               reinterpret_cast<void**>(&inPlace)))) {
          RECT client{};
          ::GetClientRect(window, &client);
          inPlace->SetObjectRects(&client, &client);
          inPlace->Release();
        }
      }
      return 0;
    case WM_SETFOCUS:
      // The keyboard goes on to the page: the browser takes it by becoming UI-active.
      if (m_object) {
        RECT client{};
        ::GetClientRect(window, &client);
        m_object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, m_docHostSite->ClientSite(), 0, window,
                         &client);
      }
      return 0;
    case WM_DESTROY:
      DestroyBrowser();  // before the window is gone
      return 0;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      m_window = nullptr;
      return ::DefWindowProcW(window, message, wParam, lParam);
    case kShowErrorPage:
      if (m_browser && !m_failedAddress.empty()) {
        BSTR blank = ::SysAllocString(kBlankPage);
        VARIANT empty;
        ::VariantInit(&empty);
        m_browser->Navigate(blank, &empty, &empty, &empty, &empty);
        ::SysFreeString(blank);
      }
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

void CHtmlCtrl::Navigate(const std::u16string& url) {
  if (!m_browser) return;
  m_failedAddress.clear();
  const std::wstring wideUrl = Wide(url);
  BSTR address = ::SysAllocStringLen(wideUrl.data(), static_cast<UINT>(wideUrl.size()));
  VARIANT flags, empty;
  ::VariantInit(&flags);
  V_VT(&flags) = VT_I4;
  V_I4(&flags) = 0;
  ::VariantInit(&empty);
  m_browser->Navigate(address, &flags, &empty, &empty, &empty);  // returns at once
  ::SysFreeString(address);
}

bool CHtmlCtrl::PreTranslateMessage(MSG* message) {
  if (!message || !m_object || message->message < WM_KEYFIRST || message->message > WM_KEYLAST) {
    return false;
  }
  // Only keys meant for the page: the dialog's other controls keep theirs.
  if (message->hwnd != m_window && !::IsChild(m_window, message->hwnd)) return false;
  IOleInPlaceActiveObject* active = nullptr;
  if (FAILED(m_object->QueryInterface(IID_IOleInPlaceActiveObject,
                                      reinterpret_cast<void**>(&active)))) {
    return false;
  }
  const bool taken = active->TranslateAccelerator(message) == S_OK;
  active->Release();
  return taken;
}

std::u16string CHtmlCtrl::LocationUrl() const {
  return m_pages->LocationUrl();
}

HRESULT CHtmlCtrl::OnGetHostInfo(DOCHOSTUIINFO* info) {
  if (!info) return E_POINTER;
  // A dialog's page (no text selection) in the system's visual theme; scroll bars only
  // where the window wants them.
  info->dwFlags = DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_THEME;
  if (!m_site.scrollBars) info->dwFlags |= DOCHOSTUIFLAG_SCROLL_NO;
  info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
  return S_OK;
}

HRESULT CHtmlCtrl::OnGetExternal(IDispatch** object) {
  if (!object) return E_POINTER;
  *object = m_external;
  if (!m_external) return S_FALSE;
  m_external->AddRef();
  return S_OK;
}

HRESULT CHtmlCtrl::OnShowMessage(HWND, LPOLESTR text, LPOLESTR caption, DWORD type, LPOLESTR, DWORD,
                                 LRESULT* result) {
  // The client's own box over its window, with the text, caption and type as the browser
  // gives them.
  const HWND owner = m_window ? ::GetParent(m_window) : nullptr;
  const PageBox box =
      PageMessageBox(PageDialogKind::kAlert, caption ? FromWide(caption) : u"", type);
  const int answer = m_dialogs.ShowMessageBox(HandleValue(owner), text ? FromWide(text) : u"",
                                              box.caption, box.style);
  if (result) *result = answer;
  return S_OK;
}

bool CHtmlCtrl::IsTrustedPage(std::u16string_view url) {
  return m_site.external && m_site.external->IsTrustedPage(url);
}

void CHtmlCtrl::OnNavigateComplete2(IDispatch* frame, const std::u16string& url) {
  TrimWorkingSet();
  if (!m_pages->IsTopFrame(frame)) return;
  m_pages->Observe();
  // The page moved on (a link, a script) before its error page arrived: none is due now.
  if (url != FromWide(kBlankPage)) m_failedAddress.clear();
}

void CHtmlCtrl::OnDocumentComplete(IDispatch* frame, const std::u16string& url) {
  if (!m_pages->IsTopFrame(frame)) return;
  m_pages->Observe();
  if (!m_failedAddress.empty() && url == FromWide(kBlankPage)) WriteErrorPage();
}

void CHtmlCtrl::OnProgressChange(int32_t, int32_t) {
  TrimWorkingSet();
}

bool CHtmlCtrl::OnNavigateError(IDispatch* frame, const std::u16string& url, int32_t status) {
  if (!m_window || !m_pages->IsTopFrame(frame) || !ShowsErrorPage(ClassifyNavigateError(status)) ||
      url == FromWide(kBlankPage)) {
    return false;
  }
  m_failedAddress = url;
  ::PostMessageW(m_window, kShowErrorPage, 0, 0);
  return true;
}

bool CHtmlCtrl::OnNewWindow3(const std::u16string& url, const std::u16string&) {
  OpenNewWindow(m_shell, url);
  return true;  // cancelled: no Internet Explorer window of its own
}

void CHtmlCtrl::WriteErrorPage() {
  const std::wstring html = Wide(LoadErrorPage(m_failedAddress));
  m_failedAddress.clear();
  IDispatch* dispatch = nullptr;
  IHTMLDocument2* document = nullptr;
  if (SUCCEEDED(m_browser->get_Document(&dispatch)) && dispatch &&
      SUCCEEDED(
          dispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document)))) {
    if (SAFEARRAY* parts = ::SafeArrayCreateVector(VT_VARIANT, 0, 1)) {
      VARIANT* part = nullptr;
      if (SUCCEEDED(::SafeArrayAccessData(parts, reinterpret_cast<void**>(&part)))) {
        V_VT(part) = VT_BSTR;
        V_BSTR(part) = ::SysAllocStringLen(html.data(), static_cast<UINT>(html.size()));
        ::SafeArrayUnaccessData(parts);
        document->write(parts);
        document->close();
      }
      ::SafeArrayDestroy(parts);  // frees the text with it
    }
    document->Release();
  }
  if (dispatch) dispatch->Release();
}

Win32BrowserFactory MakeHtmlCtrlFactory(IDialogs& dialogs, IShell& shell) {
  return [&dialogs, &shell](HWND parent, int controlId, const RECT& place,
                            const BrowserSite& site) -> std::unique_ptr<IWin32Browser> {
    auto control = std::make_unique<CHtmlCtrl>(dialogs, shell, site);
    if (!control->Create(parent, controlId, place)) return nullptr;
    return control;
  };
}

}  // namespace zeva::win32
