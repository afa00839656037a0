// The browser control as a window of the Win32 port holds it: the IE WebBrowser in its
// hand-written OLE container, with the document host site that answers for the client.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/window_view.h"

namespace zeva::win32 {

class IWin32Browser {
 public:
  virtual ~IWin32Browser() = default;
  // The control's own window (a child of its parent, with its control id).
  virtual HWND Window() const = 0;
  virtual void Navigate(const std::u16string& url) = 0;
  // Keyboard messages meant for the page reach the browser before the dialog manager;
  // true when the browser took the message.
  virtual bool PreTranslateMessage(MSG* message) = 0;
};

// Makes the control as a child of `parent` with control id `controlId` at `place` (client
// pixels); null when the browser cannot be created.
using Win32BrowserFactory = std::function<std::unique_ptr<IWin32Browser>(
    HWND parent, int controlId, const RECT& place, const BrowserSite& site)>;

}  // namespace zeva::win32
