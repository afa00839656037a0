// CZEVA30Dlg: the client's main window, driven through its message table. The port's native
// window calls these handlers; the window's work happens here.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "app/client_identity.h"
#include "platform/platform.h"
#include "ui/dialog_base.h"

namespace zeva {

inline constexpr char16_t kTrayTip[] = u"KIVO泽瓦助手";
inline constexpr int kMainDragStrip = 30;

// Work that belongs to other windows and subsystems; an absent one does nothing.
struct MainWindowHooks {
  std::function<void()> openSettings;   // settings dialog (button, 2026)
  std::function<void()> startUpdate;    // update without asking (1004, menu)
  std::function<void()> updateCheck;    // the page's update request (2028)
  std::function<void()> showUpdateLog;  // update-log window
  std::function<void()> showAbout;      // about window
  std::function<void(const std::u16string& user, const std::u16string& password)> login;
  std::function<void()> startWindowModeWatcher;  // 2027, when no watcher runs
  std::function<void()> accelerator;             // 2029
};

class CZEVA30Dlg final : public CDialogBase {
 public:
  // The page comes from `toolServer` (the build's unless a test points elsewhere).
  CZEVA30Dlg(const Platform& platform, IDialogFactory& factory, MainWindowHooks hooks = {},
             std::u16string toolServer = endpoints::kToolServer);

  // The window's initialisation: title, place, identity, tray icon, page, buttons.
  void OnInitDialog() override;
  // Commands from buttons, menus and the keyboard (IDOK 1, IDCANCEL 2).
  void OnCommand(int id) override;
  // The window's own messages (2025-2029); returns the message's result.
  intptr_t OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  // Non-client hit test in client coordinates.
  int OnHitTest(int defaultResult, int clientX, int clientY) override;
  // However the window ends (also paths that do not pass the cancel operation).
  void OnDestroy() override;

  // The page's window.external; set before the window opens.
  void SetScriptHost(ExternalDispatcher* external) { m_external = external; }
  const ClientIdentity& Identity() const { return m_identity; }
  // "0" while no window-mode watcher runs; the watcher thread sets it.
  std::atomic<bool>& WindowModeBusy() { return m_windowModeBusy; }
  const std::u16string& PortalUrl() const { return m_portalUrl; }
  // Ends the window's run once the current message has returned (the self-update's quit).
  void PostQuit();

 private:
  void Close();
  void ToTray();
  void OpenFeedbackPage();
  void Cancel();
  void ToggleShown();
  void ShowMenu(int menu, const std::map<int, std::u16string>& texts);

  const Platform& m_platform;
  MainWindowHooks m_hooks;
  std::u16string m_toolServer;
  ExternalDispatcher* m_external = nullptr;
  ClientIdentity m_identity;
  std::u16string m_portalUrl;
  std::atomic<bool> m_windowModeBusy{false};
  bool m_trayIcon = false;
};

}  // namespace zeva
