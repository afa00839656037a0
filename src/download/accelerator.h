// The game network accelerator (迅雷加速器) the page offers: started when it is installed
// below the client folder or registered with the system; otherwise its installer is fetched
// through the download dialog and, when the player agrees, installed silently into the
// client folder. Nothing is remembered between requests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/native_dialog.h"

namespace zeva {

inline constexpr char16_t kAcceleratorTitle[] = u"迅雷加速器";
inline constexpr char16_t kAcceleratorInstallerName[] = u"jsq.exe";
inline constexpr char16_t kAcceleratorInstallCaption[] = u"安装";
inline constexpr char16_t kAcceleratorInstalling[] = u"加速器安装中……，请等待20秒！";
inline constexpr char16_t kAcceleratorOffer[] =
    u"《迅雷加速器》下载完成，立即安装吗？\n加速器将直接安装在泽瓦助手目录中";
// The uninstall entries whose "DisplayIcon" names an installed accelerator, in order.
inline constexpr const char16_t* kAcceleratorUninstallKeys[] = {
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\迅雷网游加速器-专业版",
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\迅雷网游加速器Air",
};

// The texts the installation boxes give their buttons, by button (Yes 一键安装, No 手动安装,
// OK 我要安装, Cancel 暂不安装), in the order the box of `style` shows them.
std::vector<std::u16string> InstallButtonTexts(uint32_t style);

class Accelerator {
 public:
  // `installerUrl` is the installer's address on the vendor's server; `owner` gives the
  // main window.
  Accelerator(const Platform& platform, IDialogFactory& dialogs, std::u16string installerUrl,
              std::function<WindowHandle()> owner);

  // The page's request (message 2029). Returns when the download dialog, if one opened,
  // has closed; a request while it is open changes nothing.
  void Run();

  // Where the program is once installed, and the folder given to the installer.
  std::u16string ProgramPath() const;
  std::u16string InstallFolder() const;

 private:
  bool StartRegistered();
  void Install(IWindowView& dialog, const std::u16string& installer);

  const Platform& m_platform;
  IDialogFactory& m_dialogs;
  std::u16string m_installerUrl;
  std::function<WindowHandle()> m_owner;
  bool m_downloading = false;
};

}  // namespace zeva
