#include "game/settings_dialog.h"

#include "game/client_autostart.h"
#include "game/game_folder.h"
#include "game/hook_files.h"
#include "game/paths.h"
#include "res/dialog_templates.h"
#include "res/resource_ids.h"

namespace zeva {
namespace {

struct ButtonPlace {
  int id, png, x, y, width, height;
};
constexpr ButtonPlace kButtons[] = {
    {kIdOk, res::kPngOk, 130, 322, 61, 21},
    {kIdCancel, res::kPngCancel, 240, 322, 61, 21},
    {res::kBrowseOfficialButton, res::kPngBrowse, 325, 54, 50, 23},
    {res::kBrowseTestButton, res::kPngBrowse, 325, 84, 50, 23},
};

constexpr int kOptionButtons[] = {
    res::kServerOfficialRadio, res::kServerTestRadio,    res::kWindowModeOnRadio,
    res::kWindowModeOffRadio,  res::kWindowModeAskRadio, res::kUpdateAutoRadio,
    res::kUpdateAskRadio,      res::kExitHideRadio,      res::kExitQuitRadio,
    res::kExitAskRadio,        res::kAutostartCheck,
};

}  // namespace

CDialogSet::CDialogSet(const Platform& platform, IDialogFactory& factory)
    : CSkinnedFrame(factory, res::kSettingsDialog,
                    {res::kPngSettingsBackground, 440, 355, u"游戏设置"}),
      m_platform(platform) {}

void CDialogSet::OnInitDialog() {
  CSkinnedFrame::OnInitDialog();
  for (const ButtonPlace& button : kButtons) {
    View().SetButtonImage(button.id, button.png);
    View().MoveControl(button.id, button.x, button.y, button.width, button.height);
  }
  StyleControls();
  Show(ClientSettings(m_platform).Record());
}

void CDialogSet::StyleControls() {
  // Labels and group boxes: black on a white box; the option buttons show the picture.
  TextStyle label;
  label.transparent = false;
  label.backColour = 0xFFFFFF;
  View().SetTextStyle(res::kNoId, label);
  TextStyle option;
  option.transparent = true;
  for (int id : kOptionButtons) View().SetTextStyle(id, option);
}

void CDialogSet::Show(const SettingsRecord& record) {
  IWindowView& view = View();
  view.SetControlText(res::kOfficialFolderEdit, record.officialFolder);
  view.SetControlText(res::kTestFolderEdit, record.testFolder);
  view.SetCheck(
      record.server == GameServer::kTest ? res::kServerTestRadio : res::kServerOfficialRadio, true);
  view.SetCheck(record.windowMode == WindowModeSetting::kOn    ? res::kWindowModeOnRadio
                : record.windowMode == WindowModeSetting::kOff ? res::kWindowModeOffRadio
                                                               : res::kWindowModeAskRadio,
                true);
  view.SetCheck(
      record.update == UpdateSetting::kAutomatic ? res::kUpdateAutoRadio : res::kUpdateAskRadio,
      true);
  view.SetCheck(record.exit == ExitSetting::kHide   ? res::kExitHideRadio
                : record.exit == ExitSetting::kQuit ? res::kExitQuitRadio
                                                    : res::kExitAskRadio,
                true);
  view.SetCheck(res::kAutostartCheck, record.autostart);
}

SettingsRecord CDialogSet::ReadControls() {
  IWindowView& view = View();
  SettingsRecord record;
  record.officialFolder = view.GetControlText(res::kOfficialFolderEdit);
  record.testFolder = view.GetControlText(res::kTestFolderEdit);
  record.server = view.IsChecked(res::kServerTestRadio) ? GameServer::kTest : GameServer::kOfficial;
  record.windowMode = view.IsChecked(res::kWindowModeOnRadio)    ? WindowModeSetting::kOn
                      : view.IsChecked(res::kWindowModeOffRadio) ? WindowModeSetting::kOff
                                                                 : WindowModeSetting::kAsk;
  record.update =
      view.IsChecked(res::kUpdateAskRadio) ? UpdateSetting::kAsk : UpdateSetting::kAutomatic;
  record.exit = view.IsChecked(res::kExitHideRadio)   ? ExitSetting::kHide
                : view.IsChecked(res::kExitQuitRadio) ? ExitSetting::kQuit
                                                      : ExitSetting::kAsk;
  record.autostart = view.IsChecked(res::kAutostartCheck);
  return record;
}

void CDialogSet::OnCommand(int id) {
  if (id == res::kBrowseOfficialButton) {
    Browse(res::kOfficialFolderEdit);
  } else if (id == res::kBrowseTestButton) {
    Browse(res::kTestFolderEdit);
  } else {
    CSkinnedFrame::OnCommand(id);
  }
}

void CDialogSet::Browse(int edit) {
  // Only the browsed field changes; what was typed elsewhere stays until OK or Cancel.
  const std::u16string folder = BrowseGameFolder(m_platform, Handle(), View().GetControlText(edit));
  if (!folder.empty()) View().SetControlText(edit, folder);
}

void CDialogSet::OnOK() {
  const SettingsRecord record = ReadControls();
  // Everything or nothing: a file that cannot be written leaves the folders, the hook files
  // and the autostart entry as they were, and the window open.
  if (!ClientSettings(m_platform).SetRecord(record)) {
    Warn(
        u"设置未能保存：无法写入配置文件 config.ini。\n请确认该文件不是只读文件，且磁盘仍有空间。");
    return;
  }
  if (record.windowMode == WindowModeSetting::kOff) {
    for (const std::u16string* folder : {&record.officialFolder, &record.testFolder}) {
      if (!folder->empty()) RemoveHookFiles(m_platform, *folder);
    }
  }
  if (!SetClientAutostart(m_platform, record.autostart)) {
    Warn(record.autostart ? u"设置已保存，但未能设置开机启动。"
                          : u"设置已保存，但未能取消开机启动。");
  }
  EndDialog(kIdOk);
}

void CDialogSet::Warn(const std::u16string& text) {
  View().ShowOwnedBox(text, GetApplicationName(m_platform), kMbOk | kMbIconExclamation);
}

}  // namespace zeva
