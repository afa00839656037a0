// An owner-drawn button that shows a strip: its mouse input drives a PngButton, a change of
// frame repaints the button alone, and a click reaches its window as WM_COMMAND. Its window
// paints it (WM_DRAWITEM) with the frame the state names.
#pragma once

#include <windows.h>

#include <memory>

#include "ports/win32/win32_skin.h"
#include "ui/png_button.h"

namespace zeva::win32 {

class ImageButton {
 public:
  // Takes over `button`'s mouse input until the button or this object goes.
  explicit ImageButton(HWND button);
  ~ImageButton();
  ImageButton(const ImageButton&) = delete;
  ImageButton& operator=(const ImageButton&) = delete;

  // The button takes the size of one frame of the strip.
  void SetStrip(std::unique_ptr<SkinPicture> strip);
  const SkinPicture* Strip() const { return m_strip.get(); }
  ButtonFrame Frame() const { return m_state.Frame(); }

 private:
  static LRESULT CALLBACK Proc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR self);
  bool OnMessage(UINT message, LPARAM lParam);
  void Repaint() const;

  HWND m_button;
  std::unique_ptr<SkinPicture> m_strip;
  PngButton m_state;
};

}  // namespace zeva::win32
