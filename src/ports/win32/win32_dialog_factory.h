// The Win32 port's renderer of res/ templates, with browser controls for the windows that
// ask for one.
#pragma once

#include "ports/win32/win32_browser.h"
#include "ui/native_dialog.h"

namespace zeva::win32 {

class Win32DialogFactory final : public IDialogFactory {
 public:
  // An empty `browsers` makes windows without pages.
  explicit Win32DialogFactory(Win32BrowserFactory browsers = {});

  std::unique_ptr<INativeDialog> CreateNativeDialog(int templateId, WindowHandle owner,
                                                    IDialogEvents& events) override;

 private:
  Win32BrowserFactory m_browsers;
};

}  // namespace zeva::win32
