// CDialogSet: the settings window (游戏设置) on template 130. It shows config.ini's game
// folders and options when it opens and writes them, with the autostart entry and the
// removal of the hook files, only on OK.
#pragma once

#include <string>

#include "game/client_settings.h"
#include "platform/platform.h"
#include "ui/skinned_frame.h"

namespace zeva {

class CDialogSet final : public CSkinnedFrame {
 public:
  CDialogSet(const Platform& platform, IDialogFactory& factory);

  void OnInitDialog() override;
  // Browse buttons 1013 and 1015; the frame's and the base's commands.
  void OnCommand(int id) override;

 protected:
  // Saves and ends the window; a config.ini that cannot be written keeps it open.
  void OnOK() override;

 private:
  void StyleControls();
  void Show(const SettingsRecord& record);
  SettingsRecord ReadControls();
  void Browse(int edit);
  void Warn(const std::u16string& text);

  const Platform& m_platform;
};

}  // namespace zeva
