// Windows of the desktop. Handles cross the script interface as 32-bit integers: an HWND on
// Windows, the X11 window id in the GTK port.
#pragma once

#include <cstdint>
#include <string_view>

namespace zeva {

using WindowHandle = uint32_t;

// Show commands, with the Windows numbers the pages use.
enum ShowCommand : int {
  kSwHide = 0,
  kSwShowNormal = 1,
  kSwShowMinimized = 2,
  kSwMaximize = 3,
  kSwShow = 5,
  kSwMinimize = 6,
  kSwRestore = 9,
};

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;
  // The first top-level window whose title is exactly `title` (any class); 0 when none.
  // Safe to call from any thread.
  virtual WindowHandle FindTopLevelWindow(std::u16string_view title) = 0;
  virtual bool SetForeground(WindowHandle window) = 0;
  // Sends synchronously and returns the window's answer (0 for a handle that is no window).
  virtual intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam) = 0;
  // Queues the message without waiting; false when the handle is no window.
  virtual bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) = 0;
  // Sets the show state; non-zero when the window was visible before.
  virtual int SetShowState(WindowHandle window, int command) = 0;
  virtual bool IsMaximized(WindowHandle window) = 0;
  // The active window of this process (owner of application message boxes), or 0.
  virtual WindowHandle ActiveWindow() = 0;
  // Gives any top-level window, also another program's, a new title; false when the handle
  // is no window. Safe to call from any thread.
  virtual bool SetWindowTitle(WindowHandle window, std::u16string_view title) = 0;
};

}  // namespace zeva
