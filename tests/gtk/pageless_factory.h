// The GTK port's template dialogs without pages: for tests about the windows themselves.
#pragma once

#include <memory>

#include "ports/gtk/gtk_dialog.h"
#include "res/dialog_templates.h"

namespace zeva::gtk {

class PagelessFactory final : public IDialogFactory {
 public:
  std::unique_ptr<INativeDialog> CreateNativeDialog(int templateId, WindowHandle owner,
                                                    IDialogEvents& events) override {
    const res::DialogTemplate* dialog = res::FindDialogTemplate(templateId);
    if (!dialog) return nullptr;
    auto native = std::make_unique<GtkTemplateDialog>(*dialog, owner, events, nullptr);
    last = native.get();
    return native;
  }
  GtkTemplateDialog* last = nullptr;
};

}  // namespace zeva::gtk
