#include "ports/gtk/gtk_dialog_factory.h"

#include <unistd.h>

#include "host/external_dispatcher.h"
#include "platform/unicode.h"
#include "res/dialog_templates.h"

namespace zeva::gtk {

GtkDialogFactory::GtkDialogFactory(std::string extensionFolder, IDialogs& dialogs, IShell& shell)
    : m_extensionFolder(std::move(extensionFolder)), m_dialogs(dialogs), m_shell(shell) {}

std::unique_ptr<INativeDialog> GtkDialogFactory::CreateNativeDialog(int templateId,
                                                                    WindowHandle owner,
                                                                    IDialogEvents& events) {
  const res::DialogTemplate* dialog = res::FindDialogTemplate(templateId);
  if (!dialog) return nullptr;
  return std::make_unique<GtkTemplateDialog>(
      *dialog, owner, events, [this](const BrowserSite& site, std::function<uint32_t()> boxOwner) {
        return CreateBrowser(site, std::move(boxOwner));
      });
}

std::unique_ptr<WebKitBrowser> GtkDialogFactory::CreateBrowser(const BrowserSite& site,
                                                               std::function<uint32_t()> owner) {
  ExternalDispatcher* external = site.external;
  auto browser = std::make_unique<WebKitBrowser>(
      m_extensionFolder,
      [external](int32_t id, std::span<const ScriptValue> args, std::u16string_view url) {
        // A window without window.external: every name is unknown to its pages.
        if (!external) return InvokeResult{kDispEUnknownName, 0, {}};
        return external->Invoke(id, args, url);
      },
      m_dialogs, m_shell, std::move(owner));
  browser->SetScrollBars(site.scrollBars);
  return browser;
}

std::string WebExtensionFolder(const std::u16string& executablePath) {
  const std::string installed =
      Utf16ToUtf8(executablePath.substr(0, executablePath.rfind(u'/'))) + "/web-extension";
  if (::access((installed + "/zeva_web_extension.so").c_str(), R_OK) == 0) return installed;
  return ZEVA_BUILD_WEB_EXTENSION_DIR;
}

}  // namespace zeva::gtk
