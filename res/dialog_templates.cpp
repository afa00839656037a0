#include "res/dialog_templates.h"

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
