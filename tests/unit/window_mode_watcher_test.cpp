// The window-mode watcher against a window system that a test scripts from its own thread:
// it retitles the game's window once found, clears the busy flag when it ends, and stops
// and joins when it goes while still waiting.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "game/window_mode_watcher.h"

namespace zeva {
namespace {

constexpr WindowHandle kGame = 0x4242;

// The game's window appears after `findsBeforeGame` searches (never when negative).
class ScriptedWindows final : public IWindowSystem {
 public:
  explicit ScriptedWindows(int findsBeforeGame) : m_findsBeforeGame(findsBeforeGame) {}

  WindowHandle FindTopLevelWindow(std::u16string_view title) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_searched.emplace_back(title);
    m_changed.notify_all();
    const bool open = m_findsBeforeGame >= 0 && ++m_finds > m_findsBeforeGame;
    return open && title == u"crossfire" ? kGame : 0;
  }
  bool SetWindowTitle(WindowHandle window, std::u16string_view title) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_retitled.emplace_back(window, title);
    m_changed.notify_all();
    return true;
  }
  // Waits, without a deadline, until `done` holds.
  void WaitUntil(const std::function<bool()>& done) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, done);
  }
  size_t Searches() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_searched.size();
  }

  bool SetForeground(WindowHandle) override { return false; }
  intptr_t SendWindowMessage(WindowHandle, uint32_t, uintptr_t, intptr_t) override { return 0; }
  bool PostWindowMessage(WindowHandle, uint32_t, uintptr_t, intptr_t) override { return false; }
  int SetShowState(WindowHandle, int) override { return 0; }
  bool IsMaximized(WindowHandle) override { return false; }
  WindowHandle ActiveWindow() override { return 0; }

  std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_findsBeforeGame;
  int m_finds = 0;
  std::vector<std::u16string> m_searched;
  std::vector<std::pair<WindowHandle, std::u16string>> m_retitled;
};

using Retitles = std::vector<std::pair<WindowHandle, std::u16string>>;

TEST(WindowModeWatcherTest, AnOpenGameIsRetitledAtTheFirstLook) {
  ScriptedWindows windows(0);
  std::atomic<bool> busy{true};
  WindowModeWatcher watcher(windows, busy, std::chrono::hours(1));
  for (int run = 1; run <= 2; ++run) {  // a second request after the end starts a new one
    busy = true;
    watcher.Start();
    watcher.Stop();  // the first look comes before any stop request is heeded
    EXPECT_FALSE(busy);
    EXPECT_EQ(windows.m_retitled.size(), static_cast<size_t>(run));
  }
  EXPECT_EQ(windows.m_searched, (std::vector<std::u16string>{u"crossfire", u"crossfire"}));
  EXPECT_EQ(windows.m_retitled[0],
            (std::pair<WindowHandle, std::u16string>{kGame, u"KIVO泽瓦助手窗口化"}));
}

TEST(WindowModeWatcherTest, AGameStartedLaterIsRetitledOnce) {
  ScriptedWindows windows(3);
  std::atomic<bool> busy{true};
  WindowModeWatcher watcher(windows, busy, std::chrono::milliseconds(1));
  watcher.Start();
  windows.WaitUntil([&] { return !windows.m_retitled.empty(); });
  watcher.Stop();
  EXPECT_FALSE(busy);
  EXPECT_EQ(windows.m_searched.size(), 4u);
  EXPECT_EQ(windows.m_retitled, (Retitles{{kGame, u"KIVO泽瓦助手窗口化"}}));
}

TEST(WindowModeWatcherTest, GoingWhileItWaitsStopsAndJoinsIt) {
  ScriptedWindows windows(-1);
  std::atomic<bool> busy{true};
  {
    // An hour between looks: only the stop request can end the wait.
    WindowModeWatcher watcher(windows, busy, std::chrono::hours(1));
    watcher.Start();
    windows.WaitUntil([&] { return !windows.m_searched.empty(); });
    EXPECT_TRUE(busy);
  }
  EXPECT_FALSE(busy);
  const size_t searches = windows.Searches();
  EXPECT_EQ(searches, 1u);
  EXPECT_TRUE(windows.m_retitled.empty());
}

}  // namespace
}  // namespace zeva
