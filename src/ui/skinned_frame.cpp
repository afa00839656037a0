#include "ui/skinned_frame.h"

#include "platform/dialogs.h"
#include "res/resource_ids.h"
#include "ui/png_button.h"
#include "ui/window_placement.h"

namespace zeva {
namespace {

constexpr int kCloseButtonSize = 15;
constexpr int kCloseButtonInset = 27;  // from the right edge to the button's left side
constexpr int kCloseButtonTop = 8;

}  // namespace

CSkinnedFrame::CSkinnedFrame(IDialogFactory& factory, int templateId, SkinnedFace face)
    : CDialogBase(factory, templateId), m_face(std::move(face)) {}

void CSkinnedFrame::OnInitDialog() {
  IWindowView& view = View();
  view.SetCaptionless();
  // No caption shows it; the desktop's window list and searches by title do.
  view.SetTitle(m_face.title);
  view.SetBounds(0, 0, m_face.width, m_face.height);
  CenterOverOwner(view);
  view.SetBackground(m_face.background);

  view.MoveControl(res::kTitleLabel, 10, 9, 60, 15);
  view.SetControlText(res::kTitleLabel, m_face.title);
  TextStyle title;
  title.colour = 0xFFFFFF;
  title.transparent = true;
  view.SetTextStyle(res::kTitleLabel, title);

  view.SetButtonImage(res::kDialogCloseButton, res::kPngClose);
  view.MoveControl(res::kDialogCloseButton, m_face.width - kCloseButtonInset, kCloseButtonTop,
                   kCloseButtonSize, kCloseButtonSize);
}

void CSkinnedFrame::OnCommand(int id) {
  CDialogBase::OnCommand(id == res::kDialogCloseButton ? kIdCancel : id);
}

int CSkinnedFrame::OnHitTest(int defaultResult, int clientX, int clientY) {
  return DragStripHitTest(defaultResult, clientX, clientY, m_face.width, kSkinDragStrip);
}

}  // namespace zeva
