#include "game/window_mode_watcher.h"

#include <system_error>

namespace zeva {

WindowModeWatcher::WindowModeWatcher(IWindowSystem& windows, std::atomic<bool>& busy,
                                     std::chrono::milliseconds interval)
    : m_windows(windows), m_busy(busy), m_interval(interval) {}

WindowModeWatcher::~WindowModeWatcher() {
  Stop();
}

void WindowModeWatcher::Start() {
  // The previous watcher cleared the flag as its last step: joining it waits for nothing.
  if (m_thread.joinable()) m_thread.join();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = false;
  }
  try {
    m_thread = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    m_busy = false;
  }
}

void WindowModeWatcher::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

void WindowModeWatcher::Run() {
  m_busy = true;
  for (;;) {
    // A window already open is retitled at once, before any pause.
    if (const WindowHandle game = m_windows.FindTopLevelWindow(kGameWindowTitle)) {
      m_windows.SetWindowTitle(game, kWindowModeTitle);  // a failure ends the wait all the same
      break;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_wake.wait_for(lock, m_interval, [this] { return m_stopping; })) break;
  }
  m_busy = false;
}

}  // namespace zeva
