#include "app/main_window.h"

#include <map>

#include "app/zeva_app.h"
#include "game/client_settings.h"
#include "game/paths.h"
#include "res/resource_ids.h"
#include "ui/png_button.h"
#include "ui/window_messages.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

constexpr uint32_t kTrayLeftDown = 0x201;
constexpr uint32_t kTrayRightDown = 0x204;

struct ButtonPlace {
  int id;
  int png;
  int x, y, width, height;
};
constexpr ButtonPlace kButtons[] = {
    {res::kUpdateButton, res::kPngUpdate, 120, 7, 62, 21},
    {res::kSettingsButton, res::kPngSettings, 702, 7, 15, 15},
    {res::kHelpButton, res::kPngHelp, 726, 7, 15, 15},
    {res::kMinimizeButton, res::kPngMinimize, 750, 7, 15, 15},
    {res::kCloseButton, res::kPngClose, 774, 7, 15, 15},
};

void Run(const std::function<void()>& hook) {
  if (hook) hook();
}

// The tray menu's first item names what choosing it does to the window.
std::map<int, std::u16string> TrayMenuTexts(bool windowShown) {
  return {{res::kCmdShowHide, windowShown ? u"隐藏窗口" : u"显示窗口"}};
}

}  // namespace

CZEVA30Dlg::CZEVA30Dlg(const Platform& platform, IDialogFactory& factory, MainWindowHooks hooks,
                       std::u16string toolServer)
    : CDialogBase(factory, res::kMainDialog),
      m_platform(platform),
      m_hooks(std::move(hooks)),
      m_toolServer(std::move(toolServer)) {}

void CZEVA30Dlg::OnInitDialog() {
  IWindowView& view = View();
  view.SetIcon(res::kAppIcon);
  view.SetTitle(kMainWindowTitle);
  m_windowModeBusy = false;
  view.SetBounds(0, 0, 800, 600);
  view.SetCaptionless();

  LoadClientIdentity(m_platform, m_identity);
  view.MoveControl(res::kVersionLabel, 37, 9, 80, 15);
  view.SetControlText(res::kVersionLabel, m_identity.version);
  TextStyle versionStyle;  // white, straight onto the picture
  versionStyle.colour = 0xFFFFFF;
  versionStyle.transparent = true;
  view.SetTextStyle(res::kVersionLabel, versionStyle);

  view.SetBackground(res::kPngMainBackground);
  m_trayIcon = view.AddTrayIcon(res::kAppIcon, kTrayTip);
  // A tray that draws the menu itself gets it now and new texts as the window shows and
  // hides; its own activation shows or hides the window, as a click on the icon does.
  if (m_trayIcon) {
    view.SetTrayMenu(res::kTrayMenu, TrayMenuTexts(view.IsVisible()), res::kCmdShowHide);
  }

  view.CreateBrowser(1, 32, 798, 567, BrowserSite{false, m_external});
  m_portalUrl = BuildPortalUrl(m_platform, m_identity, m_toolServer);
  view.Navigate(m_portalUrl);
  // The keyboard starts in the page, never in the login form the page covers (Enter there
  // would log in with fields the player cannot see).
  view.SetFocusedControl(res::kBrowserArea);

  for (const ButtonPlace& button : kButtons) {
    view.SetButtonImage(button.id, button.png);
    view.MoveControl(button.id, button.x, button.y, button.width, button.height);
  }
}

void CZEVA30Dlg::OnCommand(int id) {
  switch (id) {
    case res::kCloseButton:
      Close();
      break;
    case res::kMinimizeButton:
      View().Show(kSwMinimize);
      break;
    case res::kHelpButton:
      ShowMenu(res::kHelpMenu, {});
      break;
    case res::kSettingsButton:
      Run(m_hooks.openSettings);
      break;
    case res::kUpdateButton:
    case res::kCmdCheckUpdate:
      Run(m_hooks.startUpdate);
      break;
    case res::kLoginButton:
      if (m_hooks.login) {
        m_hooks.login(View().GetControlText(res::kUserNameEdit),
                      View().GetControlText(res::kPasswordEdit));
      }
      break;
    case res::kCmdUpdateLog:
      Run(m_hooks.showUpdateLog);
      break;
    case res::kCmdFeedback:
      OpenFeedbackPage();
      break;
    case res::kCmdHelpAbout:
    case res::kCmdTrayAbout:
      Run(m_hooks.showAbout);
      break;
    case res::kCmdShowHide:
      ToggleShown();
      break;
    case res::kCmdExit:
    case kIdCancel:
      Cancel();
      break;
    case kIdOk: {
      // Enter never ends the client: in the login fields it logs in, elsewhere nothing.
      const int focused = View().FocusedControl();
      if (focused == res::kUserNameEdit || focused == res::kPasswordEdit) {
        OnCommand(res::kLoginButton);
      }
      break;
    }
    default:
      break;
  }
}

intptr_t CZEVA30Dlg::OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmTrayNotify:
      if (wParam != static_cast<uintptr_t>(res::kAppIcon)) return 1;
      if (lParam == kTrayLeftDown) {
        ToggleShown();
      } else if (lParam == kTrayRightDown) {
        ShowMenu(res::kTrayMenu, TrayMenuTexts(View().IsVisible()));
      }
      return 1;
    case kWmShowWindow:
      if (m_trayIcon) {
        View().SetTrayMenu(res::kTrayMenu, TrayMenuTexts(wParam != 0), res::kCmdShowHide);
      }
      return 0;
    case kWmOpenSettings:
      Run(m_hooks.openSettings);
      return 1;
    case kWmStartWindowMode:
      // Marked busy before the watcher starts, so two quick requests start one watcher.
      if (!m_windowModeBusy.exchange(true)) {
        if (m_hooks.startWindowModeWatcher) {
          m_hooks.startWindowModeWatcher();
        } else {
          m_windowModeBusy = false;
        }
      }
      return 1;
    case kWmUpdateCheck:
      Run(m_hooks.updateCheck);
      return 0;
    case kWmAccelerator:
      Run(m_hooks.accelerator);
      return 1;
    case kWmQuitClient:
      Cancel();  // the tray icon goes too
      return 0;
    default:
      return 0;
  }
}

int CZEVA30Dlg::OnHitTest(int defaultResult, int clientX, int clientY) {
  return DragStripHitTest(defaultResult, clientX, clientY, 800, kMainDragStrip);
}

void CZEVA30Dlg::OnDestroy() {
  if (m_trayIcon) View().RemoveTrayIcon();
  m_trayIcon = false;
}

void CZEVA30Dlg::Close() {
  const ExitSetting exit = ClientSettings(m_platform).Exit();
  if (exit == ExitSetting::kHide) {
    ToTray();
  } else if (exit == ExitSetting::kQuit) {
    Cancel();
  } else {
    const int answer = m_platform.dialogs.ShowMessageBox(
        View().Handle(), u"你确实要退出程序吗？\n是：退出程序\n否：最小化到托盘", u"关闭",
        kMbYesNoCancel);
    if (answer == kIdYes) {
      Cancel();
    } else if (answer == kIdNo) {
      ToTray();
    }
  }
}

void CZEVA30Dlg::PostQuit() {
  View().PostToSelf(kWmQuitClient, 0, 0);
}

void CZEVA30Dlg::OpenFeedbackPage() {
  const std::u16string page = std::u16string(endpoints::kForumHost) + endpoints::kFeedbackPath;
  // A desktop without a browser to open it: the player learns where the page is.
  if (!m_platform.shell.Execute(u"open", page, u"", u"", kSwShowNormal)) {
    m_platform.dialogs.ShowMessageBox(View().Handle(),
                                      u"无法打开意见反馈页面，请用浏览器访问：\n" + page,
                                      GetApplicationName(m_platform), kMbOk | kMbIconExclamation);
  }
}

void CZEVA30Dlg::ToTray() {
  // Hidden without an icon to click, the window could not be brought back: with no tray
  // to show the icon it is minimised instead.
  View().Show(m_trayIcon ? kSwHide : kSwMinimize);
}

void CZEVA30Dlg::Cancel() {
  OnDestroy();
  EndDialog(kIdCancel);
}

void CZEVA30Dlg::ToggleShown() {
  if (View().IsVisible()) {
    View().Show(kSwHide);
  } else {
    View().Show(kSwShowNormal);
    View().SetForeground();
  }
}

void CZEVA30Dlg::ShowMenu(int menu, const std::map<int, std::u16string>& texts) {
  View().SetForeground();
  if (const int command = View().TrackPopupMenu(menu, texts)) OnCommand(command);
}

}  // namespace zeva
