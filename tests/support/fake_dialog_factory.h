// The test port's dialog renderer: every window the core opens becomes a record of what it
// asked for, and a modal run does what the test scripts for that template.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "support/fake_window_view.h"
#include "ui/native_dialog.h"

namespace zeva::test {

struct FakeDialog {
  int templateId = 0;
  WindowHandle owner = 0;
  IDialogEvents* events = nullptr;
  bool modal = false;
  bool modeless = false;
  bool destroyed = false;
  FakeWindowView view;
};

// The exclusive groups of radio buttons in a template of res/.
std::vector<std::vector<int>> RadioGroupsOf(int templateId);

class FakeDialogFactory final : public IDialogFactory {
 public:
  std::vector<std::shared_ptr<FakeDialog>> dialogs;
  // What happens inside a modal run of a template (the window is open, initialised); the
  // run returns the last EndDialog result, -1 without one.
  std::map<int, std::function<void(FakeDialog&)>> whileModal;
  // Whether the desktop has a tray that shows icons.
  bool trayHost = true;
  // Sets up each new window before its class initialises it (its owner's place, say).
  std::function<void(FakeDialog&)> onCreate;

  std::unique_ptr<INativeDialog> CreateNativeDialog(int templateId, WindowHandle owner,
                                                    IDialogEvents& events) override {
    auto dialog = std::make_shared<FakeDialog>();
    dialog->templateId = templateId;
    dialog->owner = owner;
    dialog->events = &events;
    dialog->view.handle = 0x500 + static_cast<WindowHandle>(dialogs.size()) * 0x10;
    dialog->view.trayHost = trayHost;
    dialog->view.radioGroups = RadioGroupsOf(templateId);
    dialog->view.table = [&events](uint32_t message, uintptr_t wParam, intptr_t lParam) {
      return events.OnMessage(message, wParam, lParam);
    };
    if (onCreate) onCreate(*dialog);
    dialogs.push_back(dialog);
    return std::make_unique<Native>(*this, dialog);
  }

  // The dialogs made for one template, oldest first.
  std::vector<std::shared_ptr<FakeDialog>> Of(int templateId) const {
    std::vector<std::shared_ptr<FakeDialog>> found;
    for (const auto& dialog : dialogs) {
      if (dialog->templateId == templateId) found.push_back(dialog);
    }
    return found;
  }

 private:
  class Native final : public INativeDialog {
   public:
    Native(FakeDialogFactory& factory, std::shared_ptr<FakeDialog> dialog)
        : m_factory(factory), m_dialog(std::move(dialog)) {}
    ~Native() override { m_dialog->destroyed = true; }
    IWindowView& View() override { return m_dialog->view; }
    int RunModal() override {
      m_dialog->modal = true;
      m_dialog->events->OnInitDialog();
      const auto script = m_factory.whileModal.find(m_dialog->templateId);
      if (script != m_factory.whileModal.end()) script->second(*m_dialog);
      const auto& results = m_dialog->view.endResults;
      return results.empty() ? -1 : results.back();
    }
    bool ShowModeless() override {
      m_dialog->modeless = true;
      m_dialog->events->OnInitDialog();
      return true;
    }

   private:
    FakeDialogFactory& m_factory;
    std::shared_ptr<FakeDialog> m_dialog;
  };
};

}  // namespace zeva::test
