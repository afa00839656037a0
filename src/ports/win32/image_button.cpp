#include "ports/win32/image_button.h"

#include <commctrl.h>

namespace zeva::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 1;

}  // namespace

ImageButton::ImageButton(HWND button) : m_button(button) {
  ::SetWindowSubclass(m_button, &Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

ImageButton::~ImageButton() {
  if (m_button) ::RemoveWindowSubclass(m_button, &Proc, kSubclassId);
}

void ImageButton::SetStrip(std::unique_ptr<SkinPicture> strip) {
  m_strip = std::move(strip);
  if (m_strip) {
    const StripGeometry geometry = StripGeometry::Of(m_strip->Width(), m_strip->Height());
    ::SetWindowPos(m_button, nullptr, 0, 0, geometry.frameWidth, geometry.height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Repaint();
}

void ImageButton::Repaint() const {
  ::InvalidateRect(m_button, nullptr, FALSE);
}

LRESULT CALLBACK ImageButton::Proc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR self) {
  auto* image = reinterpret_cast<ImageButton*>(self);
  if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(button, &Proc, kSubclassId);
    image->m_button = nullptr;
    return ::DefSubclassProc(button, message, wParam, lParam);
  }
  if (message == WM_LBUTTONUP) {
    if (::GetCapture() == button) ::ReleaseCapture();
    RECT client;
    ::GetClientRect(button, &client);
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const bool click = image->m_state.OnButtonUp(::PtInRect(&client, point) != FALSE);
    image->Repaint();
    // Last: the command may close the window and this button with it.
    if (click) {
      ::SendMessageW(::GetParent(button), WM_COMMAND,
                     MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }
    return 0;
  }
  if (image->OnMessage(message, lParam)) return message == WM_ERASEBKGND ? 1 : 0;
  return ::DefSubclassProc(button, message, wParam, lParam);
}

// The mouse belongs to the state machine, not to the button class (which would press,
// repaint and click on its own); true when the message is taken.
bool ImageButton::OnMessage(UINT message, LPARAM lParam) {
  bool repaint = false;
  switch (message) {
    case WM_MOUSEMOVE: {
      // Captured by a press, the button also hears moves off it.
      RECT client;
      ::GetClientRect(m_button, &client);
      const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      const bool over = ::PtInRect(&client, point) != FALSE;
      if (over && m_state.NeedsTracking()) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER | TME_LEAVE, m_button, 1};
        ::TrackMouseEvent(&track);
      }
      repaint = m_state.OnMouseMove(over);
      break;
    }
    case WM_MOUSEHOVER:
      repaint = m_state.OnMouseHover();
      break;
    case WM_MOUSELEAVE:
      repaint = m_state.OnMouseLeave();
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      ::SetCapture(m_button);
      if (::GetFocus() != m_button) ::SetFocus(m_button);
      repaint = message == WM_LBUTTONDOWN ? m_state.OnButtonDown() : m_state.OnDoubleClick();
      break;
    case WM_ERASEBKGND:
      return true;  // the paint covers the whole button
    default:
      return false;
  }
  if (repaint) Repaint();
  return true;
}

}  // namespace zeva::win32
