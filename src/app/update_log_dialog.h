// CDialogVer: the update-log window (更新日志) on template 151: its own browser, scroll bars
// on, showing the tool server's update list, loaded anew at every opening. Its pages get
// window.external as the portal does, under the same origin rule; the messages they post
// reach this window, which handles none of them.
#pragma once

#include <string>

#include "host/external_dispatcher.h"
#include "ui/skinned_frame.h"

namespace zeva {

class CDialogVer final : public CSkinnedFrame {
 public:
  // `toolServer`: the tool server's base address ("http://host:port"); `external`: what its
  // pages reach as window.external (null: nothing).
  CDialogVer(IDialogFactory& factory, std::u16string toolServer,
             ExternalDispatcher* external = nullptr);
  void OnInitDialog() override;

 private:
  std::u16string m_toolServer;
  ExternalDispatcher* m_external;
};

}  // namespace zeva
