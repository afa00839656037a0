// An image button: one frame of a four-frame strip per state (normal, hover, pressed, and a
// fourth nothing selects). The port feeds it mouse events and draws the frame it names.
#pragma once

namespace zeva {

enum class ButtonFrame { kNormal = 0, kHover = 1, kPressed = 2, kFourth = 3 };

struct StripGeometry {
  int frameWidth = 0;
  int height = 0;
  // A strip whose width is no multiple of 4 uses the truncated quarter.
  static StripGeometry Of(int imageWidth, int imageHeight) { return {imageWidth / 4, imageHeight}; }
};

class PngButton {
 public:
  // Each returns true when the button must be repainted.
  // Arms hover and leave tracking on the first move of a visit. While a press is held the
  // button sees moves off it too (`overButton` false).
  bool OnMouseMove(bool overButton = true);
  bool OnMouseHover();
  bool OnMouseLeave();
  bool OnButtonDown();
  // Always repaints. True when a press ended over the button: the click goes to the parent.
  bool OnButtonUp(bool overButton);
  // A double click counts as a second press.
  bool OnDoubleClick() { return OnButtonDown(); }

  bool NeedsTracking() const { return m_tracking == 0; }
  ButtonFrame Frame() const;
  void SetFourthFrame(bool on) { m_fourthFrame = on ? 1 : 0; }

 private:
  int m_fourthFrame = 0;
  int m_tracking = 0;
  int m_hover = 0;
  bool m_pressed = false;  // the left button went down on this button and is still held
  bool m_inside = false;   // the pointer is over the button
};

// Skinned windows are dragged by a band along their top: a point that the default hit test
// calls client area becomes caption inside the band.
inline constexpr int kHitClient = 1;
inline constexpr int kHitCaption = 2;
int DragStripHitTest(int defaultResult, int clientX, int clientY, int clientWidth, int stripHeight);

}  // namespace zeva
