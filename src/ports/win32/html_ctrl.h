// The browser control of the Win32 port: the IE WebBrowser in a child window of its own,
// hosted through the document host site, with the page's window.external and its message
// boxes, new windows in the desktop's browser and an error page of the client's own for
// addresses that cannot be fetched.
#pragma once

#include <windows.h>
// After windows.h:
#include <exdisp.h>
#include <ocidl.h>

#include <memory>
#include <string>

#include "platform/dialogs.h"
#include "platform/shell.h"
#include "ports/win32/browser_events.h"
#include "ports/win32/doc_host_site.h"
#include "ports/win32/win32_browser.h"

namespace zeva::win32 {

class ShownPageTracker;

class CHtmlCtrl final : public IWin32Browser, public IDocHostView, public IBrowserEventHandler {
 public:
  // `dialogs` and `shell` outlive the control; so does `site.external` when given.
  CHtmlCtrl(IDialogs& dialogs, IShell& shell, const BrowserSite& site);
  ~CHtmlCtrl() override;
  CHtmlCtrl(const CHtmlCtrl&) = delete;
  CHtmlCtrl& operator=(const CHtmlCtrl&) = delete;

  // The control's window (WS_CHILD | WS_VISIBLE) as child `controlId` of `parent` at `place`,
  // and the browser in it, in-place active. COM must be initialised on this thread. False,
  // with nothing left behind, when either cannot be made.
  bool Create(HWND parent, int controlId, const RECT& place);

  HWND Window() const override { return m_window; }
  void Navigate(const std::u16string& url) override;
  bool PreTranslateMessage(MSG* message) override;

  // The browser while it lives, not counted.
  IWebBrowser2* Browser() const { return m_browser; }
  // The top page's address; empty without a browser.
  std::u16string LocationUrl() const;

  // What the document host site asks.
  HRESULT OnGetHostInfo(DOCHOSTUIINFO* info) override;
  HRESULT OnGetExternal(IDispatch** object) override;
  HRESULT OnShowMessage(HWND window, LPOLESTR text, LPOLESTR caption, DWORD type, LPOLESTR helpFile,
                        DWORD helpContext, LRESULT* result) override;
  bool IsTrustedPage(std::u16string_view url) override;

  // The browser's events.
  void OnNavigateComplete2(IDispatch* frame, const std::u16string& url) override;
  void OnDocumentComplete(IDispatch* frame, const std::u16string& url) override;
  void OnProgressChange(int32_t progress, int32_t maximum) override;
  bool OnNavigateError(IDispatch* frame, const std::u16string& url, int32_t status) override;
  bool OnNewWindow3(const std::u16string& url, const std::u16string& referrer) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateBrowser();
  void DestroyBrowser();
  void WriteErrorPage();

  IDialogs& m_dialogs;
  IShell& m_shell;
  BrowserSite m_site;
  std::shared_ptr<ShownPageTracker> m_pages;
  IDispatch* m_external = nullptr;  // the same object for every page the control shows
  HWND m_window = nullptr;
  IOleObject* m_object = nullptr;
  IWebBrowser2* m_browser = nullptr;
  CDocHostSite* m_docHostSite = nullptr;
  BrowserEvents* m_events = nullptr;
  IConnectionPoint* m_eventSource = nullptr;
  DWORD m_eventCookie = 0;
  // The address that could not be fetched, while its error page is on its way.
  std::u16string m_failedAddress;
};

// What the windows of the Win32 port are given to make their browser controls.
Win32BrowserFactory MakeHtmlCtrlFactory(IDialogs& dialogs, IShell& shell);

}  // namespace zeva::win32
