#include "ui/png_button.h"

namespace zeva {

bool PngButton::OnMouseMove() {
  if (m_tracking == 0) m_tracking = 1;
  return false;
}

bool PngButton::OnMouseHover() {
  m_hover = 1;
  return true;
}

bool PngButton::OnMouseLeave() {
  m_tracking = 0;
  m_hover = 0;
  m_pressed = false;
  return true;
}

bool PngButton::OnButtonDown() {
  m_pressed = true;
  return true;
}

bool PngButton::OnButtonUp(bool overButton) {
  const bool click = m_pressed && overButton;
  m_pressed = false;
  return click;
}

ButtonFrame PngButton::Frame() const {
  if (m_fourthFrame == 1) return ButtonFrame::kFourth;
  if (m_pressed) return ButtonFrame::kPressed;
  if (m_hover == 1) return ButtonFrame::kHover;
  return ButtonFrame::kNormal;
}

int DragStripHitTest(int defaultResult, int clientX, int clientY, int clientWidth,
                     int stripHeight) {
  const bool inStrip =
      clientX >= 0 && clientX < clientWidth && clientY >= 0 && clientY < stripHeight;
  return defaultResult == kHitClient && inStrip ? kHitCaption : defaultResult;
}

}  // namespace zeva
