#include "ports/win32/ole_control_site.h"

namespace zeva::win32 {
namespace {

// The window that stands for the frame: the top-level window around the control.
HWND FrameWindow(HWND window) {
  const HWND root = window ? ::GetAncestor(window, GA_ROOT) : nullptr;
  return root ? root : window;
}

}  // namespace

OleControlSite::OleControlSite(HWND window) : m_window(window) {}

HRESULT OleControlSite::InternalQueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  IUnknown* found = FindInterface(riid);
  *object = found;
  if (!found) return E_NOINTERFACE;
  found->AddRef();
  return S_OK;
}

ULONG OleControlSite::InternalAddRef() {
  return ++m_references;
}

ULONG OleControlSite::InternalRelease() {
  const ULONG left = --m_references;
  if (left == 0) delete this;
  return left;
}

IUnknown* OleControlSite::FindInterface(REFIID riid) {
  if (riid == IID_IUnknown || riid == IID_IOleClientSite) return &m_xOleClientSite;
  // The site's window is the in-place site's: the frame stands for the top-level window.
  if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) return &m_xOleInPlaceSite;
  if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow) {
    return &m_xOleInPlaceFrame;
  }
  return nullptr;
}

// Client site: the control is embedded, never saved, in no document.

HRESULT OleControlSite::XOleClientSite::SaveObject() {
  return E_NOTIMPL;
}

HRESULT OleControlSite::XOleClientSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT OleControlSite::XOleClientSite::GetContainer(IOleContainer** container) {
  if (container) *container = nullptr;
  return E_NOINTERFACE;
}

HRESULT OleControlSite::XOleClientSite::ShowObject() {
  return S_OK;
}

HRESULT OleControlSite::XOleClientSite::OnShowWindow(BOOL) {
  return S_OK;
}

HRESULT OleControlSite::XOleClientSite::RequestNewObjectLayout() {
  return E_NOTIMPL;
}

// In-place site: the control always fills the site's window.

HRESULT OleControlSite::XOleInPlaceSite::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = m_outer->m_window;
  return *window ? S_OK : E_FAIL;
}

HRESULT OleControlSite::XOleInPlaceSite::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}

HRESULT OleControlSite::XOleInPlaceSite::CanInPlaceActivate() {
  return S_OK;
}

HRESULT OleControlSite::XOleInPlaceSite::OnInPlaceActivate() {
  return S_OK;
}

HRESULT OleControlSite::XOleInPlaceSite::OnUIActivate() {
  return S_OK;
}

HRESULT OleControlSite::XOleInPlaceSite::GetWindowContext(IOleInPlaceFrame** frame,
                                                          IOleInPlaceUIWindow** document,
                                                          RECT* position, RECT* clip,
                                                          OLEINPLACEFRAMEINFO* info) {
  if (!frame || !document || !position || !clip || !info) return E_POINTER;
  *frame = &m_outer->m_xOleInPlaceFrame;
  (*frame)->AddRef();
  *document = nullptr;  // the frame serves as the document window too
  RECT client{};
  ::GetClientRect(m_outer->m_window, &client);
  *position = client;
  *clip = client;
  info->fMDIApp = FALSE;
  info->hwndFrame = FrameWindow(m_outer->m_window);
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

HRESULT OleControlSite::XOleInPlaceSite::Scroll(SIZE) {
  return E_NOTIMPL;
}

HRESULT OleControlSite::XOleInPlaceSite::OnUIDeactivate(BOOL) {
  return S_OK;
}

HRESULT OleControlSite::XOleInPlaceSite::OnInPlaceDeactivate() {
  return S_OK;
}

HRESULT OleControlSite::XOleInPlaceSite::DiscardUndoState() {
  return E_NOTIMPL;
}

HRESULT OleControlSite::XOleInPlaceSite::DeactivateAndUndo() {
  return E_NOTIMPL;
}

// The control keeps the size of the window; the window's owner sizes the control.
HRESULT OleControlSite::XOleInPlaceSite::OnPosRectChange(const RECT*) {
  return S_OK;
}

// In-place frame: no tool space, menus or status bar to share.

HRESULT OleControlSite::XOleInPlaceFrame::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = FrameWindow(m_outer->m_window);
  return *window ? S_OK : E_FAIL;
}

HRESULT OleControlSite::XOleInPlaceFrame::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}

HRESULT OleControlSite::XOleInPlaceFrame::GetBorder(RECT*) {
  return INPLACE_E_NOTOOLSPACE;
}

HRESULT OleControlSite::XOleInPlaceFrame::RequestBorderSpace(const BORDERWIDTHS*) {
  return INPLACE_E_NOTOOLSPACE;
}

HRESULT OleControlSite::XOleInPlaceFrame::SetBorderSpace(const BORDERWIDTHS* widths) {
  return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
}

HRESULT OleControlSite::XOleInPlaceFrame::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) {
  return S_OK;
}

HRESULT OleControlSite::XOleInPlaceFrame::InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) {
  return E_NOTIMPL;
}

HRESULT OleControlSite::XOleInPlaceFrame::SetMenu(HMENU, HOLEMENU, HWND) {
  return S_OK;
}

HRESULT OleControlSite::XOleInPlaceFrame::RemoveMenus(HMENU) {
  return E_NOTIMPL;
}

HRESULT OleControlSite::XOleInPlaceFrame::SetStatusText(LPCOLESTR) {
  return S_OK;
}

HRESULT OleControlSite::XOleInPlaceFrame::EnableModeless(BOOL) {
  return S_OK;
}

HRESULT OleControlSite::XOleInPlaceFrame::TranslateAccelerator(MSG*, WORD) {
  return S_FALSE;
}

}  // namespace zeva::win32
