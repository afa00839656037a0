// The base of every window class: one numbered template, a message table (the virtual
// handlers), and its run, modal or modeless. The port's native dialog renders the template
// and delivers the events; the class decides what they do.
#pragma once

#include <cstdint>
#include <memory>

#include "ui/native_dialog.h"

namespace zeva {

class CDialogBase : public IDialogEvents {
 public:
  CDialogBase(IDialogFactory& factory, int templateId);
  virtual ~CDialogBase();
  CDialogBase(const CDialogBase&) = delete;
  CDialogBase& operator=(const CDialogBase&) = delete;

  // Runs the window modally over `owner` (0: none) and returns the result given to
  // EndDialog; -1 when it could not be made, or when it is open already.
  int DoModal(WindowHandle owner = 0);
  // Opens the window without a loop of its own; false when it could not be made or is open.
  bool Create(WindowHandle owner = 0);
  // Closes a modeless window (OnDestroy first); nothing when none is open.
  void DestroyWindow();
  // A modal run ends with `result`; a modeless window hides (DestroyWindow closes it).
  void EndDialog(int result);

  bool IsOpen() const { return m_native != nullptr; }
  int TemplateId() const { return m_templateId; }
  WindowHandle Handle() const;
  // The native window; while none is open, a view that does nothing and reads nothing.
  IWindowView& View();

  // The message table. By default IDOK and IDCANCEL end the dialog with their number, other
  // commands and messages do nothing, the hit test is the system's.
  void OnInitDialog() override {}
  void OnCommand(int id) override;
  intptr_t OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  int OnHitTest(int defaultResult, int clientX, int clientY) override;
  // However the window goes, before its native window is destroyed.
  virtual void OnDestroy() {}

 protected:
  virtual void OnOK();
  virtual void OnCancel();

 private:
  IDialogFactory& m_factory;
  int m_templateId;
  std::unique_ptr<INativeDialog> m_native;
  bool m_modal = false;
};

}  // namespace zeva
