// What the window tests read off the screen: texts, places and pixels of real windows, and
// the windows of another thread as they appear.
#pragma once

#include <windows.h>

#include <string>

#include "ports/win32/wide.h"
#include "ports/win32/win32_skin.h"

namespace zeva::test {

// A visible 800 x 600 window at (0, 0) standing in for the main window as an owner.
inline HWND CreateMainWindowStandIn() {
  return ::CreateWindowExW(0, L"Static", L"ZEVA main window stand-in",
                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

inline std::u16string TextOf(HWND window) {
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  return win32::FromWide(text);
}

inline RECT RectInParent(HWND control) {
  RECT place;
  ::GetWindowRect(control, &place);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

// Polls `done` for up to 5 s (a guard against hanging, not a measure).
template <typename Done>
bool WaitUntil(Done done) {
  for (int turn = 0; turn < 1000 && !done(); ++turn) ::Sleep(5);
  return done();
}

// A visible top-level window of another thread, as it appears.
inline HWND WaitForWindow(const wchar_t* className, const wchar_t* title) {
  HWND found = nullptr;
  WaitUntil([&] {
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, className, title));) {
      if (::IsWindowVisible(window)) return (found = window) != nullptr;
    }
    return false;
  });
  return found;
}

// Pixels of `window` from (x, y) that differ from the picture's part at (sourceX, sourceY);
// only the picture's opaque pixels count.
inline int DifferingPixels(HWND window, int x, int y, const win32::SkinPicture& picture,
                           int sourceX, int sourceY, int width, int height) {
  const HDC dc = ::GetDC(window);
  int differing = 0;
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const uint32_t argb = picture.PixelAt(sourceX + column, sourceY + row);
      if ((argb >> 24) != 0xFF) continue;
      const COLORREF expected = RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
      if (::GetPixel(dc, x + column, y + row) != expected) ++differing;
    }
  }
  ::ReleaseDC(window, dc);
  return differing;
}

}  // namespace zeva::test
