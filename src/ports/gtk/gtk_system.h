// The GTK port's windows, message boxes and toolkit start-up.
#pragma once

#include "platform/dialogs.h"
#include "platform/toolkit.h"
#include "platform/window_system.h"

namespace zeva::gtk {

// Our own windows receive Windows-style messages through their message tables; other
// programs' windows are found and activated through X11 (EWMH), and take no messages.
class GtkWindowSystem final : public IWindowSystem {
 public:
  WindowHandle FindTopLevelWindow(std::u16string_view title) override;
  bool SetForeground(WindowHandle window) override;
  intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) override;
  bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override;
  int SetShowState(WindowHandle window, int command) override;
  bool IsMaximized(WindowHandle window) override;
  WindowHandle ActiveWindow() override;
  // Through X11, on any window: _NET_WM_NAME (UTF-8) and WM_NAME.
  bool SetWindowTitle(WindowHandle window, std::u16string_view title) override;
};

class GtkDialogs final : public IDialogs {
 public:
  int ShowMessageBox(uint32_t owner, const std::u16string& text, const std::u16string& caption,
                     uint32_t style) override;
  int ShowRenamedMessageBox(uint32_t owner, const std::u16string& text,
                            const std::u16string& caption, uint32_t style,
                            const std::vector<std::u16string>& buttonTexts) override;
  std::optional<std::u16string> PickFolder(uint32_t owner, const std::u16string& prompt,
                                           const std::u16string& startFolder) override;
};

class GtkToolkit final : public IToolkit {
 public:
  bool Start() override;
  void Stop() override {}
};

}  // namespace zeva::gtk
