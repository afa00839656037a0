#include "ports/win32/win32_dialog_factory.h"

#include "ports/win32/win32_dialog.h"
#include "res/dialog_templates.h"

namespace zeva::win32 {

Win32DialogFactory::Win32DialogFactory(Win32BrowserFactory browsers)
    : m_browsers(std::move(browsers)) {}

std::unique_ptr<INativeDialog> Win32DialogFactory::CreateNativeDialog(int templateId,
                                                                      WindowHandle owner,
                                                                      IDialogEvents& events) {
  const res::DialogTemplate* dialog = res::FindDialogTemplate(templateId);
  if (!dialog) return nullptr;
  return std::make_unique<Win32TemplateDialog>(*dialog, owner, events, m_browsers);
}

}  // namespace zeva::win32
