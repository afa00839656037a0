#include "ui/dialog_base.h"

#include "platform/dialogs.h"

namespace zeva {
namespace {

// Stands in for a window that is not open: requests are dropped, reads give nothing.
class ClosedView final : public IWindowView {
 public:
  WindowHandle Handle() const override { return 0; }
  void SetTitle(const std::u16string&) override {}
  void SetBounds(int, int, int, int) override {}
  ScreenRect Bounds() override { return {}; }
  std::optional<ScreenRect> ShownOwnerBounds() override { return std::nullopt; }
  ScreenRect WorkArea() override { return {}; }
  void SetCaptionless() override {}
  void SetBackground(int) override {}
  void SetIcon(int) override {}
  void MoveControl(int, int, int, int, int) override {}
  void ShowControl(int, bool) override {}
  void EnableControl(int, bool) override {}
  void SetControlText(int, const std::u16string&) override {}
  std::u16string GetControlText(int) override { return {}; }
  void SetTextStyle(int, const TextStyle&) override {}
  void SetButtonImage(int, int) override {}
  void SetPicture(int, int) override {}
  void SetCheck(int, bool) override {}
  bool IsChecked(int) override { return false; }
  void SetProgressRange(int, int, int) override {}
  void SetProgressPos(int, int) override {}
  int FocusedControl() override { return 0; }
  void SetFocusedControl(int) override {}
  bool IsVisible() override { return false; }
  void Show(int) override {}
  void SetForeground() override {}
  void EndDialog(int) override {}
  intptr_t SendToSelf(uint32_t, uintptr_t, intptr_t) override { return 0; }
  bool PostToSelf(uint32_t, uintptr_t, intptr_t) override { return false; }
  int ShowOwnedBox(const std::u16string&, const std::u16string&, uint32_t,
                   const std::vector<std::u16string>&) override {
    return kIdCancel;
  }
  bool AddTrayIcon(int, const std::u16string&) override { return false; }
  void RemoveTrayIcon() override {}
  void SetTrayMenu(int, const std::map<int, std::u16string>&, int) override {}
  int TrackPopupMenu(int, const std::map<int, std::u16string>&) override { return 0; }
  void CreateBrowser(int, int, int, int, const BrowserSite&) override {}
  void Navigate(const std::u16string&) override {}
};

}  // namespace

CDialogBase::CDialogBase(IDialogFactory& factory, int templateId)
    : m_factory(factory), m_templateId(templateId) {}

CDialogBase::~CDialogBase() {
  // A derived class is gone by now: only the native window is left to close.
  m_native.reset();
}

int CDialogBase::DoModal(WindowHandle owner) {
  if (m_native) return -1;
  m_native = m_factory.CreateNativeDialog(m_templateId, owner, *this);
  if (!m_native) return -1;
  m_modal = true;
  const int result = m_native->RunModal();
  OnDestroy();
  m_native.reset();
  m_modal = false;
  return result;
}

bool CDialogBase::Create(WindowHandle owner) {
  if (m_native) return false;
  m_native = m_factory.CreateNativeDialog(m_templateId, owner, *this);
  if (!m_native) return false;
  m_modal = false;
  if (!m_native->ShowModeless()) {
    m_native.reset();
    return false;
  }
  return true;
}

void CDialogBase::DestroyWindow() {
  if (!m_native || m_modal) return;
  OnDestroy();
  m_native.reset();
}

void CDialogBase::EndDialog(int result) {
  if (m_native) m_native->View().EndDialog(result);
}

WindowHandle CDialogBase::Handle() const {
  return m_native ? m_native->View().Handle() : 0;
}

IWindowView& CDialogBase::View() {
  static ClosedView closed;
  return m_native ? m_native->View() : closed;
}

void CDialogBase::OnCommand(int id) {
  if (id == kIdOk) OnOK();
  if (id == kIdCancel) OnCancel();
}

intptr_t CDialogBase::OnMessage(uint32_t, uintptr_t, intptr_t) {
  return 0;
}

int CDialogBase::OnHitTest(int defaultResult, int, int) {
  return defaultResult;
}

void CDialogBase::OnOK() {
  EndDialog(kIdOk);
}

void CDialogBase::OnCancel() {
  EndDialog(kIdCancel);
}

}  // namespace zeva
