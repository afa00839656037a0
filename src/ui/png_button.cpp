#include "ui/png_button.h"

namespace zeva {

bool PngButton::OnMouseMove(bool overButton) {
  // A held press keeps the pointer's moves coming when it is off the button: that is leaving.
  if (!overButton) return m_inside ? OnMouseLeave() : false;
  if (m_tracking == 0) m_tracking = 1;
  // Back over the button with a press held: it shows pressed again.
  const bool repaint = m_pressed && !m_inside;
  m_inside = true;
  return repaint;
}

bool PngButton::OnMouseHover() {
  m_hover = 1;
  m_inside = true;
  return true;
}

bool PngButton::OnMouseLeave() {
  // A press survives a trip off the button, as a push button's does: released back over
  // it, it still clicks.
  m_tracking = 0;
  m_hover = 0;
  m_inside = false;
  return true;
}

bool PngButton::OnButtonDown() {
  m_pressed = true;
  m_inside = true;
  return true;
}

bool PngButton::OnButtonUp(bool overButton) {
  const bool click = m_pressed && overButton;
  m_pressed = false;
  return click;
}

ButtonFrame PngButton::Frame() const {
  if (m_fourthFrame == 1) return ButtonFrame::kFourth;
  if (m_pressed && m_inside) return ButtonFrame::kPressed;
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
