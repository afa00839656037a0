// The seam between a core window class and the port's native dialog that renders it.
// Policy (what a command or message does) stays in the class; the port creates the window
// from the class's template, runs it and delivers its events.
#pragma once

#include <cstdint>
#include <memory>

#include "ui/window_view.h"

namespace zeva {

// What the native dialog tells its class, as the Windows dialog procedure would.
class IDialogEvents {
 public:
  // The controls exist; the class lays the window out.
  virtual void OnInitDialog() = 0;
  // A button, menu item or key (IDOK 1, IDCANCEL 2 for Enter, Escape and the close request).
  virtual void OnCommand(int id) = 0;
  // Any other message of the window's own table; returns its result.
  virtual intptr_t OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // Non-client hit test in client coordinates.
  virtual int OnHitTest(int defaultResult, int clientX, int clientY) = 0;

 protected:
  ~IDialogEvents() = default;
};

class INativeDialog {
 public:
  // Destroys the native window (and its browser) if it still exists.
  virtual ~INativeDialog() = default;
  virtual IWindowView& View() = 0;
  // Creates the window, delivers OnInitDialog, shows it and runs a nested loop until
  // EndDialog; the owner takes no input meanwhile. Returns EndDialog's result, -1 when the
  // window could not be made.
  virtual int RunModal() = 0;
  // Creates the window, delivers OnInitDialog and shows it; returns at once.
  virtual bool ShowModeless() = 0;
};

// The port's renderer of any template of res/.
class IDialogFactory {
 public:
  virtual ~IDialogFactory() = default;
  // A native dialog for template `templateId` owned by `owner` (0: none); null when the
  // template is unknown. Nothing is shown before RunModal or ShowModeless.
  virtual std::unique_ptr<INativeDialog> CreateNativeDialog(int templateId, WindowHandle owner,
                                                            IDialogEvents& events) = 0;
};

}  // namespace zeva
