// The site through which the browser control hosts the IE WebBrowser: besides the container
// side it answers the browser's questions about the document (no context menu, the page's
// message boxes, host information, the external object), its security questions and its
// script-error and message commands.
#pragma once

#include <windows.h>
// After windows.h:
#include <docobj.h>
#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

#include <string_view>

#include "ports/win32/ole_control_site.h"

namespace zeva::win32 {

// What the site asks of the browser control that created it.
class IDocHostView {
 public:
  virtual HRESULT OnGetHostInfo(DOCHOSTUIINFO* info) = 0;
  // The external object with one reference for the caller; S_FALSE and null when pages get
  // none.
  virtual HRESULT OnGetExternal(IDispatch** object) = 0;
  virtual HRESULT OnShowMessage(HWND window, LPOLESTR text, LPOLESTR caption, DWORD type,
                                LPOLESTR helpFile, DWORD helpContext, LRESULT* result) = 0;
  // Whether the page at `url` is one of the client's own (the origin rule): only those get
  // their scripts and controls allowed without the browser's own settings.
  virtual bool IsTrustedPage(std::u16string_view url) = 0;

 protected:
  ~IDocHostView() = default;
};

class CDocHostSite final : public OleControlSite {
 public:
  // The creator holds the first reference; `window` is the control's window.
  CDocHostSite(IDocHostView& view, HWND window);

  // The view goes before the browser lets go of the site: from now on the site answers as
  // a site without a view (no external object, no trusted page).
  void Detach() { m_view = nullptr; }

 protected:
  IUnknown* FindInterface(REFIID riid) override;

 private:
  ~CDocHostSite() override = default;

  class XDocHostShowUI final : public NestedInterface<CDocHostSite, IDocHostShowUI> {
   public:
    using NestedInterface::NestedInterface;
    HRESULT STDMETHODCALLTYPE ShowMessage(HWND window, LPOLESTR text, LPOLESTR caption, DWORD type,
                                          LPOLESTR helpFile, DWORD helpContext,
                                          LRESULT* result) override;
    HRESULT STDMETHODCALLTYPE ShowHelp(HWND window, LPOLESTR helpFile, UINT command, DWORD data,
                                       POINT mouse, IDispatch* object) override;
  };

  class XDocHostUIHandler final : public NestedInterface<CDocHostSite, IDocHostUIHandler> {
   public:
    using NestedInterface::NestedInterface;
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT* point, IUnknown* target,
                                              IDispatch* object) override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IOleInPlaceActiveObject* active,
                                     IOleCommandTarget* target, IOleInPlaceFrame* frame,
                                     IOleInPlaceUIWindow* document) override;
    HRESULT STDMETHODCALLTYPE HideUI() override;
    HRESULT STDMETHODCALLTYPE UpdateUI() override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                           BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, const GUID* group,
                                                   DWORD command) override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* dropTarget,
                                            IDropTarget** replacement) override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD translate, LPWSTR urlIn, LPWSTR* urlOut) override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* object,
                                               IDataObject** replacement) override;
  };

  class XInternetSecurityManager final
      : public NestedInterface<CDocHostSite, IInternetSecurityManager> {
   public:
    using NestedInterface::NestedInterface;
    HRESULT STDMETHODCALLTYPE SetSecuritySite(IInternetSecurityMgrSite* site) override;
    HRESULT STDMETHODCALLTYPE GetSecuritySite(IInternetSecurityMgrSite** site) override;
    HRESULT STDMETHODCALLTYPE MapUrlToZone(LPCWSTR url, DWORD* zone, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetSecurityId(LPCWSTR url, BYTE* id, DWORD* size,
                                            DWORD_PTR reserved) override;
    HRESULT STDMETHODCALLTYPE ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* policy,
                                               DWORD policySize, BYTE* context, DWORD contextSize,
                                               DWORD flags, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE QueryCustomPolicy(LPCWSTR url, REFGUID key, BYTE** policy,
                                                DWORD* policySize, BYTE* context, DWORD contextSize,
                                                DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE SetZoneMapping(DWORD zone, LPCWSTR pattern, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetZoneMappings(DWORD zone, IEnumString** mappings,
                                              DWORD flags) override;
  };

  class XServiceProvider final : public NestedInterface<CDocHostSite, IServiceProvider> {
   public:
    using NestedInterface::NestedInterface;
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) override;
  };

  class XOleCommandTarget final : public NestedInterface<CDocHostSite, IOleCommandTarget> {
   public:
    using NestedInterface::NestedInterface;
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* group, ULONG count, OLECMD* commands,
                                          OLECMDTEXT* text) override;
    HRESULT STDMETHODCALLTYPE Exec(const GUID* group, DWORD command, DWORD options, VARIANT* in,
                                   VARIANT* out) override;
  };

  IDocHostView* m_view;
  XDocHostShowUI m_xDocHostShowUI{this};
  XDocHostUIHandler m_xDocHostUIHandler{this};
  XInternetSecurityManager m_xInternetSecurityManager{this};
  XServiceProvider m_xServiceProvider{this};
  XOleCommandTarget m_xOleCommandTarget{this};
};

}  // namespace zeva::win32
