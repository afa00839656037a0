// CDialogVer: the update-log window (更新日志) on template 151: its own browser, scroll bars
// on, showing the tool server's update list, loaded anew at every opening.
#pragma once

#include <string>

#include "ui/skinned_frame.h"

namespace zeva {

class CDialogVer final : public CSkinnedFrame {
 public:
  // `toolServer`: the tool server's base address ("http://host:port").
  CDialogVer(IDialogFactory& factory, std::u16string toolServer);
  void OnInitDialog() override;

 private:
  std::u16string m_toolServer;
};

}  // namespace zeva
