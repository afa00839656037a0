// Numbers of templates, controls, menus, commands and pictures: the one place both ports and
// the core take them from.
#pragma once

namespace zeva::res {

// Dialog templates.
inline constexpr int kMainDialog = 102;
inline constexpr int kSettingsDialog = 130;
inline constexpr int kDownloadDialog = 144;
inline constexpr int kUpdateLogDialog = 151;
inline constexpr int kAboutDialog = 153;

// Main window controls.
inline constexpr int kCloseButton = 1000;
inline constexpr int kMinimizeButton = 1001;
inline constexpr int kHelpButton = 1002;
inline constexpr int kSettingsButton = 1003;
inline constexpr int kUpdateButton = 1004;
inline constexpr int kUserNameEdit = 1005;
inline constexpr int kPasswordEdit = 1006;
inline constexpr int kLoginButton = 1007;
inline constexpr int kBrowserArea = 1008;
inline constexpr int kVersionLabel = 1033;

// Controls of the secondary windows.
inline constexpr int kDownloadProgress = 1010;
inline constexpr int kDialogCloseButton = 1011;
inline constexpr int kOfficialFolderEdit = 1012;
inline constexpr int kBrowseOfficialButton = 1013;
inline constexpr int kTestFolderEdit = 1014;
inline constexpr int kBrowseTestButton = 1015;
inline constexpr int kServerOfficialRadio = 1016;
inline constexpr int kServerTestRadio = 1017;
inline constexpr int kWindowModeOnRadio = 1018;
inline constexpr int kWindowModeOffRadio = 1019;
inline constexpr int kWindowModeAskRadio = 1020;
inline constexpr int kUpdateAutoRadio = 1021;
inline constexpr int kUpdateAskRadio = 1022;
inline constexpr int kExitHideRadio = 1023;
inline constexpr int kExitQuitRadio = 1024;
inline constexpr int kAutostartCheck = 1025;
inline constexpr int kExitAskRadio = 1026;
inline constexpr int kTitleLabel = 1027;
inline constexpr int kAboutText = 1035;

// Menus and their commands.
inline constexpr int kHelpMenu = 131;
inline constexpr int kTrayMenu = 132;
inline constexpr int kCmdCheckUpdate = 32774;
inline constexpr int kCmdUpdateLog = 32775;
inline constexpr int kCmdFeedback = 32776;
inline constexpr int kCmdShowHide = 32781;
inline constexpr int kCmdTrayAbout = 32782;
inline constexpr int kCmdExit = 32783;
inline constexpr int kCmdHelpAbout = 32784;

// Icon group and PNG pictures.
inline constexpr int kAppIcon = 128;
inline constexpr int kPngMainBackground = 135;
inline constexpr int kPngMinimize = 138;
inline constexpr int kPngHelp = 139;
inline constexpr int kPngClose = 140;
inline constexpr int kPngSettings = 142;
inline constexpr int kPngUpdate = 143;
inline constexpr int kPngSettingsBackground = 145;
inline constexpr int kPngOk = 148;
inline constexpr int kPngCancel = 149;
inline constexpr int kPngBrowse = 150;
inline constexpr int kPngUpdateLogBackground = 152;
inline constexpr int kPngAboutBackground = 154;

}  // namespace zeva::res
