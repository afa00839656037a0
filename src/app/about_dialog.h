// CDialogAbout: the about window (关于我们) on template 153: the game site, the program line
// with the version and the rights notice, and an OK image button.
#pragma once

#include "ui/skinned_frame.h"

namespace zeva {

inline constexpr uint32_t kAboutTextColour = 0x0E4E81;  // RGB 14, 78, 129

class CDialogAbout final : public CSkinnedFrame {
 public:
  explicit CDialogAbout(IDialogFactory& factory);
  void OnInitDialog() override;
};

// The three lines of the about text, separated by CR LF.
std::u16string AboutText();

}  // namespace zeva
