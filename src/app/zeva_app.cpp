#include "app/zeva_app.h"

namespace zeva {

CZEVA30App::CZEVA30App(const Platform& platform, MainWindowRunner runMainWindow)
    : m_platform(platform), m_runMainWindow(std::move(runMainWindow)) {}

bool CZEVA30App::InitInstance() {
  // A toolkit that fails to start leaves the client running without its pictures.
  m_platform.toolkit.Start();

  if (m_platform.instance.Acquire(kInstanceLockName) == InstanceLock::kAlreadyExists) {
    // Only the lock decides. The player started the client to see it: the running window
    // comes back even from the tray (hidden to a tray the desktop may not show, it would
    // otherwise be lost), then takes the focus.
    m_secondInstance = true;
    if (const WindowHandle running = m_platform.windows.FindTopLevelWindow(kMainWindowTitle)) {
      m_platform.windows.SetShowState(running, kSwShow);
      m_platform.windows.SetForeground(running);
    }
    return false;
  }
  // Acquired, or the lock could not be made at all: carry on as the first instance.
  if (m_runMainWindow) m_runMainWindow();
  return false;
}

int CZEVA30App::ExitInstance() {
  m_platform.toolkit.Stop();
  return 0;
}

int RunClient(const Platform& platform, CZEVA30App::MainWindowRunner runMainWindow) {
  CZEVA30App app(platform, std::move(runMainWindow));
  app.InitInstance();
  return app.ExitInstance();
}

}  // namespace zeva
