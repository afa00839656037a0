#include "res/dialog_templates.h"

#include "platform/dialogs.h"
#include "res/resource_ids.h"

namespace zeva::res {
namespace {

const std::vector<DialogTemplate>& Templates() {
  static const std::vector<DialogTemplate> templates{
      {kMainDialog,
       u"MS Shell Dlg",
       9,
       322,
       205,
       true,
       {
           {kCloseButton, ControlKind::kOwnerDrawButton, u"X", 307, 0, 13, 14},
           {kMinimizeButton, ControlKind::kOwnerDrawButton, u"_", 293, 0, 13, 14},
           {kHelpButton, ControlKind::kOwnerDrawButton, u"?", 278, 0, 13, 14},
           {kSettingsButton, ControlKind::kOwnerDrawButton, u"S", 263, 0, 13, 14},
           {kUpdateButton, ControlKind::kOwnerDrawButton, u"U", 247, 0, 13, 14},
           {kUserNameEdit, ControlKind::kEdit, u"", 227, 19, 40, 14},
           {kPasswordEdit, ControlKind::kPasswordEdit, u"", 227, 34, 40, 14},
           {kLoginButton, ControlKind::kButton, u"登录", 270, 18, 23, 14},
           {kBrowserArea, ControlKind::kStatic, u"网页区域", 2, 25, 51, 21, false},
           {kVersionLabel, ControlKind::kStatic, u"版本号", 0, 1, 22, 8},
       }},
      {kSettingsDialog,
       u"MS Shell Dlg",
       8,
       292,
       218,
       false,
       {
           {kNoId, ControlKind::kGroupBox, u"游戏目录", 16, 23, 261, 68},
           {kNoId, ControlKind::kStatic, u"官方服", 30, 39, 25, 8},
           {kOfficialFolderEdit, ControlKind::kEdit, u"", 61, 36, 154, 14},
           {kBrowseOfficialButton, ControlKind::kOwnerDrawButton, u"浏览", 217, 36, 28, 14},
           {kNoId, ControlKind::kStatic, u"体验服", 30, 57, 25, 8},
           {kTestFolderEdit, ControlKind::kEdit, u"", 61, 54, 154, 14},
           {kBrowseTestButton, ControlKind::kOwnerDrawButton, u"浏览", 217, 54, 28, 14},
           {kServerOfficialRadio, ControlKind::kRadio, u"", 61, 75, 8, 8, true, true},
           {kNoId, ControlKind::kStatic, u"官方服", 72, 75, 25, 8},
           {kServerTestRadio, ControlKind::kRadio, u"", 113, 75, 8, 8},
           {kNoId, ControlKind::kStatic, u"体验服", 124, 75, 25, 8},
           {kNoId, ControlKind::kGroupBox, u"游戏窗口化", 16, 97, 261, 35},
           {kWindowModeOnRadio, ControlKind::kRadio, u"", 60, 112, 8, 8, true, true},
           {kNoId, ControlKind::kStatic, u"自动开启", 70, 112, 35, 8},
           {kWindowModeOffRadio, ControlKind::kRadio, u"", 114, 112, 8, 8},
           {kNoId, ControlKind::kStatic, u"关闭", 124, 112, 25, 8},
           {kWindowModeAskRadio, ControlKind::kRadio, u"", 159, 112, 8, 8},
           {kNoId, ControlKind::kStatic, u"启动时提示", 169, 112, 45, 8},
           {kNoId, ControlKind::kGroupBox, u"更新设置", 16, 138, 81, 53},
           {kUpdateAutoRadio, ControlKind::kRadio, u"", 33, 155, 8, 8, true, true},
           {kNoId, ControlKind::kStatic, u"自动更新", 43, 155, 40, 8},
           {kUpdateAskRadio, ControlKind::kRadio, u"", 33, 173, 8, 8},
           {kNoId, ControlKind::kStatic, u"提示更新", 43, 173, 40, 8},
           {kNoId, ControlKind::kGroupBox, u"退出设置", 106, 138, 81, 53},
           {kExitHideRadio, ControlKind::kRadio, u"", 123, 153, 8, 8, true, true},
           {kNoId, ControlKind::kStatic, u"隐藏到托盘", 133, 153, 45, 8},
           {kExitQuitRadio, ControlKind::kRadio, u"", 123, 165, 8, 8},
           {kNoId, ControlKind::kStatic, u"直接退出", 133, 165, 40, 8},
           {kExitAskRadio, ControlKind::kRadio, u"", 123, 178, 8, 8},
           {kNoId, ControlKind::kStatic, u"提示框", 133, 178, 30, 8},
           {kNoId, ControlKind::kGroupBox, u"开机启动", 196, 138, 81, 53},
           {kAutostartCheck, ControlKind::kCheckBox, u"", 214, 155, 8, 8},
           {kNoId, ControlKind::kStatic, u"开启", 224, 155, 25, 8},
           {zeva::kIdOk, ControlKind::kOwnerDrawButton, u"确定", 180, 197, 50, 14},
           {zeva::kIdCancel, ControlKind::kOwnerDrawButton, u"取消", 235, 197, 50, 14},
           {kDialogCloseButton, ControlKind::kOwnerDrawButton, u"X", 271, 7, 14, 14},
           {kTitleLabel, ControlKind::kStatic, u"标题", 7, 7, 17, 8},
       },
       {},
       true},
      {kDownloadDialog,
       u"MS Shell Dlg",
       8,
       213,
       59,
       false,
       {{kDownloadProgress, ControlKind::kProgressBar, u"", 25, 25, 164, 10}},
       u"下载",
       true},
      {kUpdateLogDialog,
       u"MS Shell Dlg",
       8,
       316,
       180,
       false,
       {
           {kNoId, ControlKind::kStatic, u"网页区", 7, 39, 121, 66, false},
           {kDialogCloseButton, ControlKind::kOwnerDrawButton, u"X", 296, 7, 13, 14},
           {kTitleLabel, ControlKind::kStatic, u"标题", 7, 7, 17, 8},
       },
       {},
       true},
      {kAboutDialog,
       u"Microsoft Sans Serif",
       8,
       258,
       94,
       false,
       {
           {zeva::kIdOk, ControlKind::kOwnerDrawButton, u"确定", 83, 76, 45, 11},
           {kDialogCloseButton, ControlKind::kOwnerDrawButton, u"X", 236, 7, 15, 14},
           {kAboutText, ControlKind::kStatic, u"Static", 45, 29, 175, 37},
           {kTitleLabel, ControlKind::kStatic, u"标题", 7, 7, 17, 8},
       },
       {},
       true},
  };
  return templates;
}

const std::vector<MenuTemplate>& Menus() {
  static const std::vector<MenuTemplate> menus{
      {kHelpMenu,
       u"帮助菜单",
       {{kCmdCheckUpdate, u"检查更新"},
        {kCmdUpdateLog, u"更新日志"},
        {0, u""},
        {kCmdFeedback, u"意见反馈"},
        {kCmdHelpAbout, u"关于我们"}}},
      {kTrayMenu,
       u"托盘菜单",
       {{kCmdShowHide, u"显示窗口"}, {0, u""}, {kCmdTrayAbout, u"关于我们"}, {kCmdExit, u"退出"}}},
  };
  return menus;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate& t : Templates()) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

const MenuTemplate* FindMenuTemplate(int id) {
  for (const MenuTemplate& m : Menus()) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

}  // namespace zeva::res
