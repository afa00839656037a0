#include "download/accelerator.h"

#include "download/download_dialog.h"
#include "game/paths.h"
#include "platform/dialogs.h"
#include "platform/path_style.h"
#include "platform/window_system.h"

namespace zeva {

std::vector<std::u16string> InstallButtonTexts(uint32_t style) {
  static const struct {
    int id;
    const char16_t* text;
  } kTexts[] = {
      {kIdYes, u"一键安装"}, {kIdNo, u"手动安装"}, {kIdOk, u"我要安装"}, {kIdCancel, u"暂不安装"}};
  std::vector<int> buttons;
  switch (style & 0x0F) {
    case kMbOk:
      buttons = {kIdOk};
      break;
    case kMbOkCancel:
      buttons = {kIdOk, kIdCancel};
      break;
    case kMbYesNo:
      buttons = {kIdYes, kIdNo};
      break;
    case kMbYesNoCancel:
      buttons = {kIdYes, kIdNo, kIdCancel};
      break;
    default:
      break;
  }
  std::vector<std::u16string> texts;
  for (int id : buttons) {
    for (const auto& entry : kTexts) {
      if (entry.id == id) texts.emplace_back(entry.text);
    }
  }
  return texts;
}

Accelerator::Accelerator(const Platform& platform, IDialogFactory& dialogs,
                         std::u16string installerUrl, std::function<WindowHandle()> owner)
    : m_platform(platform),
      m_dialogs(dialogs),
      m_installerUrl(std::move(installerUrl)),
      m_owner(std::move(owner)) {}

std::u16string Accelerator::InstallFolder() const {
  return GetClientFolder(m_platform) + u"xunlei";
}

std::u16string Accelerator::ProgramPath() const {
  return InstallFolder() + kPathSeparator + u"bin" + kPathSeparator + u"XLacc.exe";
}

void Accelerator::Run() {
  // The page may ask again while the dialog is open (its window takes no input, its
  // scripts still run): one download at a time.
  if (m_downloading) return;
  const std::u16string program = ProgramPath();
  if (m_platform.files.GetAttributes(program)) {
    m_platform.shell.Execute(u"", program, u"", u"", kSwHide);
    return;
  }
  if (StartRegistered()) return;
  m_downloading = true;
  CDialogDown download(
      m_platform, m_dialogs,
      {kAcceleratorTitle, kAcceleratorInstallerName, GetClientFolder(m_platform), m_installerUrl},
      [this](CDialogDown& dialog, const std::u16string& installer) {
        Install(dialog.View(), installer);
      });
  download.DoModal(m_owner ? m_owner() : 0);
  m_downloading = false;
}

bool Accelerator::StartRegistered() {
  for (const char16_t* key : kAcceleratorUninstallKeys) {
    // Run as read, as the system's uninstaller list gives it; a value that names nothing
    // runnable fails quietly. An empty one names nothing: the next entry is tried.
    const std::optional<std::u16string> icon =
        m_platform.registry.ReadString(RegistryRoot::kLocalMachine, key, u"DisplayIcon");
    if (!icon || icon->empty()) continue;
    m_platform.shell.Execute(u"", *icon, u"", u"", kSwHide);
    return true;
  }
  return false;
}

void Accelerator::Install(IWindowView& dialog, const std::u16string& installer) {
  // An installer started by an earlier request is still at work: wait for it.
  if (m_platform.shell.IsProgramRunning(kAcceleratorInstallerName)) {
    dialog.ShowOwnedBox(kAcceleratorInstalling, kAcceleratorInstallCaption, kMbOk,
                        InstallButtonTexts(kMbOk));
    return;
  }
  constexpr uint32_t kOfferStyle = kMbOkCancel | kMbIconQuestion;
  if (dialog.ShowOwnedBox(kAcceleratorOffer, kAcceleratorInstallCaption, kOfferStyle,
                          InstallButtonTexts(kOfferStyle)) != kIdOk) {
    return;  // the installer stays in Downloads: the next request offers it at once
  }
  // Unquoted, as the installer expects it: "/S /D=" + folder is its last parameter.
  m_platform.shell.Execute(u"", installer, u"/S /D=" + InstallFolder(), u"", kSwHide);
}

}  // namespace zeva
