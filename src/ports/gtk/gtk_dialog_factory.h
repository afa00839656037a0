// The GTK port's renderer of res/ templates, with WebKit browsers for the windows that ask.
#pragma once

#include <string>

#include "platform/dialogs.h"
#include "platform/shell.h"
#include "ports/gtk/gtk_dialog.h"
#include "ui/native_dialog.h"

namespace zeva::gtk {

class GtkDialogFactory final : public IDialogFactory {
 public:
  // `extensionFolder` holds the web-process extension alone.
  GtkDialogFactory(std::string extensionFolder, IDialogs& dialogs, IShell& shell);

  std::unique_ptr<INativeDialog> CreateNativeDialog(int templateId, WindowHandle owner,
                                                    IDialogEvents& events) override;

  // A browser control as a window asks for it.
  std::unique_ptr<WebKitBrowser> CreateBrowser(const BrowserSite& site,
                                               std::function<uint32_t()> owner);

 private:
  std::string m_extensionFolder;
  IDialogs& m_dialogs;
  IShell& m_shell;
};

// The extension's folder beside the program once installed; in a build tree, where CMake
// put it.
std::string WebExtensionFolder(const std::u16string& executablePath);

}  // namespace zeva::gtk
