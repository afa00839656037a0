// The window-mode watcher: a thread that waits for the game's window ("crossfire") and
// gives it the window-mode title. At most one runs; it is stopped and joined before the
// objects it uses go, so a client that closes while it waits never leaves it behind.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/window_system.h"

namespace zeva {

inline constexpr char16_t kGameWindowTitle[] = u"crossfire";
inline constexpr char16_t kWindowModeTitle[] = u"KIVO泽瓦助手窗口化";
inline constexpr std::chrono::milliseconds kWindowModePollInterval{1500};

class WindowModeWatcher {
 public:
  // `busy` is the main window's flag: the watcher clears it when it ends.
  WindowModeWatcher(IWindowSystem& windows, std::atomic<bool>& busy,
                    std::chrono::milliseconds interval = kWindowModePollInterval);
  // Stops a waiting watcher and waits for it to end.
  ~WindowModeWatcher();
  WindowModeWatcher(const WindowModeWatcher&) = delete;
  WindowModeWatcher& operator=(const WindowModeWatcher&) = delete;

  // Starts a watcher. The caller has marked `busy`, so no other one runs; a thread that
  // could not be made clears it again.
  void Start();
  // Ends a waiting watcher now (it retitles nothing more) and waits for it.
  void Stop();

 private:
  void Run();

  IWindowSystem& m_windows;
  std::atomic<bool>& m_busy;
  const std::chrono::milliseconds m_interval;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stopping = false;
  std::thread m_thread;
};

}  // namespace zeva
