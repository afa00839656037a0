// The container side of hosting one ActiveX control inside a child window: its client site,
// in-place site and in-place frame. Derived sites add the interfaces they answer for.
#pragma once

#include <windows.h>
// After windows.h:
#include <ole2.h>
#include <oleidl.h>

#include <atomic>

#include "ports/win32/nested_interface.h"

namespace zeva::win32 {

class OleControlSite {
 public:
  OleControlSite(const OleControlSite&) = delete;
  OleControlSite& operator=(const OleControlSite&) = delete;

  // The site's identity: every nested interface answers through these.
  HRESULT InternalQueryInterface(REFIID riid, void** object);
  ULONG InternalAddRef();
  ULONG InternalRelease();

  // What the control is given as its client site (not counted).
  IOleClientSite* ClientSite() { return &m_xOleClientSite; }

 protected:
  // `window`: the window the control lives in, the site's for its whole life. The creator
  // holds the first reference.
  explicit OleControlSite(HWND window);
  virtual ~OleControlSite() = default;

  // The site's interface `riid`, not counted; null when it has none. Derived sites look
  // their own up before the base's.
  virtual IUnknown* FindInterface(REFIID riid);

  HWND Window() const { return m_window; }

 private:
  class XOleClientSite final : public NestedInterface<OleControlSite, IOleClientSite> {
   public:
    using NestedInterface::NestedInterface;
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;
  };

  class XOleInPlaceSite final : public NestedInterface<OleControlSite, IOleInPlaceSite> {
   public:
    using NestedInterface::NestedInterface;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                               IOleInPlaceUIWindow** document, RECT* position,
                                               RECT* clip, OLEINPLACEFRAMEINFO* info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(const RECT* position) override;
  };

  // Also the in-place user-interface window: the control has no document window of its own.
  class XOleInPlaceFrame final : public NestedInterface<OleControlSite, IOleInPlaceFrame> {
   public:
    using NestedInterface::NestedInterface;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE GetBorder(RECT* border) override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(const BORDERWIDTHS* widths) override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(const BORDERWIDTHS* widths) override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object,
                                              LPCOLESTR name) override;
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, OLEMENUGROUPWIDTHS* widths) override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU descriptor,
                                      HWND activeObject) override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message, WORD id) override;
  };

  HWND m_window;
  std::atomic<ULONG> m_references{1};
  XOleClientSite m_xOleClientSite{this};
  XOleInPlaceSite m_xOleInPlaceSite{this};
  XOleInPlaceFrame m_xOleInPlaceFrame{this};
};

}  // namespace zeva::win32
