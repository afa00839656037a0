// The process: user-interface libraries up, one client per logon session, the main window
// for the whole run, libraries down.
#pragma once

#include <functional>

#include "platform/platform.h"

namespace zeva {

inline constexpr char16_t kInstanceLockName[] = u"ZEVAMutex";
inline constexpr char16_t kMainWindowTitle[] = u"KIVO穿越火线泽瓦助手";

class CZEVA30App {
 public:
  // Runs the main window as a modal dialog; returns when it has ended.
  using MainWindowRunner = std::function<void()>;

  CZEVA30App(const Platform& platform, MainWindowRunner runMainWindow);

  // Start-up. Always false: when the main window's run has returned (or a second instance
  // has handed over to the first) there is nothing left but shutdown.
  bool InitInstance();
  // Shutdown; the exit code, always 0.
  int ExitInstance();

  bool WasSecondInstance() const { return m_secondInstance; }

 private:
  const Platform& m_platform;
  MainWindowRunner m_runMainWindow;
  bool m_secondInstance = false;
};

// InitInstance, then ExitInstance: what each port's main calls.
int RunClient(const Platform& platform, CZEVA30App::MainWindowRunner runMainWindow);

}  // namespace zeva
