// Top-level windows of the desktop, found by title. Handles cross the script interface as
// 32-bit integers: an HWND on Windows, the X11 window id in the GTK port.
#pragma once

#include <cstdint>
#include <string_view>

namespace zeva {

using WindowHandle = uint32_t;

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;
  // The first top-level window whose title is exactly `title` (any class); 0 when none.
  virtual WindowHandle FindTopLevelWindow(std::u16string_view title) = 0;
  virtual bool SetForeground(WindowHandle window) = 0;
};

}  // namespace zeva
