// A native window that exists only as a record of what the core asked of it.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/dialogs.h"
#include "ui/window_messages.h"
#include "ui/window_view.h"

namespace zeva::test {

class FakeWindowView final : public IWindowView {
 public:
  struct Rect {
    int x, y, width, height;
    bool operator==(const Rect&) const = default;
  };

  WindowHandle handle = 0x500;
  // The template's exclusive groups of radio buttons.
  std::vector<std::vector<int>> radioGroups;
  std::u16string title;
  Rect bounds{};
  bool captionless = false;
  // What the core reads to place the window; `owner` empty: hidden, minimised or none.
  std::optional<ScreenRect> owner = ScreenRect{0, 0, 800, 600};
  ScreenRect workArea{0, 0, 1024, 768};
  int background = 0;
  int icon = 0;
  std::map<int, Rect> controls;
  std::map<int, std::u16string> texts;
  std::map<int, int> buttonImages;
  int focused = 0;
  bool visible = true;
  std::vector<int> showCommands;
  int foregroundCount = 0;
  std::vector<int> endResults;
  bool trayIcon = false;
  std::u16string trayTip;
  std::vector<std::pair<int, std::map<int, std::u16string>>> menus;
  std::deque<int> menuAnswers;  // scripted choices; 0 (none) when empty
  struct TrayMenu {
    int menu;
    std::map<int, std::u16string> texts;
    int defaultCommand;
  };
  std::vector<TrayMenu> trayMenus;  // every menu given to a tray that draws its own
  Rect browser{};
  BrowserSite browserSite;
  std::vector<std::u16string> navigations;
  std::map<int, bool> shownControls, enabledControls, checks;
  std::map<int, TextStyle> styles;
  std::map<int, int> pictures;
  std::map<int, std::pair<int, int>> progressRanges;
  std::map<int, int> progress;
  struct Message {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
  };
  std::vector<Message> posted;
  // Sent messages reach this (the window's own table); 0 without one.
  std::function<intptr_t(uint32_t, uintptr_t, intptr_t)> table;
  struct Box {
    std::u16string text, caption;
    uint32_t style;
    std::vector<std::u16string> buttons;
  };
  std::vector<Box> boxes;
  std::deque<int> boxAnswers;  // scripted; kIdOk when none is left

  WindowHandle Handle() const override { return handle; }
  void SetTitle(const std::u16string& text) override { title = text; }
  void SetBounds(int x, int y, int w, int h) override { bounds = {x, y, w, h}; }
  ScreenRect Bounds() override { return {bounds.x, bounds.y, bounds.width, bounds.height}; }
  std::optional<ScreenRect> ShownOwnerBounds() override { return owner; }
  ScreenRect WorkArea() override { return workArea; }
  void SetCaptionless() override { captionless = true; }
  void SetBackground(int png) override { background = png; }
  void SetIcon(int id) override { icon = id; }
  void MoveControl(int id, int x, int y, int w, int h) override { controls[id] = {x, y, w, h}; }
  void SetControlText(int id, const std::u16string& text) override { texts[id] = text; }
  std::u16string GetControlText(int id) override { return texts[id]; }
  void SetButtonImage(int id, int png) override { buttonImages[id] = png; }
  void ShowControl(int id, bool shown) override { shownControls[id] = shown; }
  void EnableControl(int id, bool enabled) override { enabledControls[id] = enabled; }
  void SetTextStyle(int id, const TextStyle& style) override { styles[id] = style; }
  void SetPicture(int id, int png) override { pictures[id] = png; }
  // Radio buttons of the template's groups are automatic: checking one clears the others.
  void SetCheck(int id, bool checked) override {
    for (const std::vector<int>& group : radioGroups) {
      if (!checked || std::find(group.begin(), group.end(), id) == group.end()) continue;
      for (int other : group) checks[other] = false;
    }
    checks[id] = checked;
  }
  bool IsChecked(int id) override { return checks[id]; }
  void SetProgressRange(int id, int low, int high) override { progressRanges[id] = {low, high}; }
  void SetProgressPos(int id, int position) override { progress[id] = position; }
  intptr_t SendToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    return table ? table(message, wParam, lParam) : 0;
  }
  // Any thread may post (a worker's progress); the messages wait for Pump.
  bool PostToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    std::lock_guard lock(m_posts.mutex);
    posted.push_back({message, wParam, lParam});
    m_posts.queue.push_back({message, wParam, lParam});
    m_posts.wake.notify_all();
    return true;
  }
  // Delivers posted messages to the table, as the window's loop would, until `done` holds;
  // false when it still does not after `timeout`.
  bool Pump(const std::function<bool()>& done,
            std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      std::unique_lock lock(m_posts.mutex);
      if (!m_posts.wake.wait_until(lock, deadline, [&] { return !m_posts.queue.empty(); })) {
        return false;
      }
      const Message next = m_posts.queue.front();
      m_posts.queue.pop_front();
      lock.unlock();
      SendToSelf(next.message, next.wParam, next.lParam);
    }
    return true;
  }
  int ShowOwnedBox(const std::u16string& text, const std::u16string& caption, uint32_t style,
                   const std::vector<std::u16string>& buttons) override {
    boxes.push_back({text, caption, style, buttons});
    if (boxAnswers.empty()) return kIdOk;
    const int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  }
  int FocusedControl() override { return focused; }
  void SetFocusedControl(int id) override { focused = id; }
  bool IsVisible() override { return visible; }
  // A change of visibility reaches the window's table, as on both ports.
  void Show(int command) override {
    showCommands.push_back(command);
    const bool wasVisible = visible;
    visible = command != kSwHide;
    if (visible != wasVisible) SendToSelf(kWmShowWindow, visible ? 1 : 0, 0);
  }
  void SetForeground() override { ++foregroundCount; }
  void EndDialog(int result) override { endResults.push_back(result); }
  bool trayHost = true;  // whether a tray shows the icon
  bool AddTrayIcon(int, const std::u16string& tip) override {
    trayIcon = trayHost;
    trayTip = tip;
    return trayHost;
  }
  void RemoveTrayIcon() override { trayIcon = false; }
  void SetTrayMenu(int menu, const std::map<int, std::u16string>& overrides,
                   int defaultCommand) override {
    trayMenus.push_back({menu, overrides, defaultCommand});
  }
  int TrackPopupMenu(int menu, const std::map<int, std::u16string>& overrides) override {
    menus.emplace_back(menu, overrides);
    if (menuAnswers.empty()) return 0;
    const int answer = menuAnswers.front();
    menuAnswers.pop_front();
    return answer;
  }
  void CreateBrowser(int x, int y, int w, int h, const BrowserSite& site) override {
    browser = {x, y, w, h};
    browserSite = site;
  }
  void Navigate(const std::u16string& url) override { navigations.push_back(url); }

 private:
  // Messages waiting for Pump. A copy of the view (a record kept by a test) waits for none.
  struct PostQueue {
    PostQueue() = default;
    PostQueue(const PostQueue&) {}
    PostQueue& operator=(const PostQueue&) { return *this; }
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Message> queue;
  } m_posts;
};

}  // namespace zeva::test
