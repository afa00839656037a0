// The frame every secondary skinned window shares: no caption, a PNG face at its own size,
// a white title in the top-left corner, an image close button in the top-right corner, and
// a band along the top that drags the window.
#pragma once

#include <string>

#include "ui/dialog_base.h"

namespace zeva {

inline constexpr int kSkinDragStrip = 28;

struct SkinnedFace {
  int background = 0;  // PNG resource; the window takes its size
  int width = 0;
  int height = 0;
  std::u16string title;  // shown by label 1027
};

class CSkinnedFrame : public CDialogBase {
 public:
  CSkinnedFrame(IDialogFactory& factory, int templateId, SkinnedFace face);

  // Lays the frame out; a derived window calls this first, then sets up its own controls.
  void OnInitDialog() override;
  // The close button (1011) is the cancel operation; other commands go to the base.
  void OnCommand(int id) override;
  int OnHitTest(int defaultResult, int clientX, int clientY) override;

  const SkinnedFace& Face() const { return m_face; }

 private:
  SkinnedFace m_face;
};

}  // namespace zeva
