// A native window that exists only as a record of what the core asked of it.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ui/window_view.h"

namespace zeva::test {

class FakeWindowView final : public IWindowView {
 public:
  struct Rect {
    int x, y, width, height;
    bool operator==(const Rect&) const = default;
  };

  WindowHandle handle = 0x500;
  std::u16string title;
  Rect bounds{};
  bool captionless = false;
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
  Rect browser{};
  std::vector<std::u16string> navigations;

  WindowHandle Handle() const override { return handle; }
  void SetTitle(const std::u16string& text) override { title = text; }
  void SetBounds(int x, int y, int w, int h) override { bounds = {x, y, w, h}; }
  void SetCaptionless() override { captionless = true; }
  void SetBackground(int png) override { background = png; }
  void SetIcon(int id) override { icon = id; }
  void MoveControl(int id, int x, int y, int w, int h) override { controls[id] = {x, y, w, h}; }
  void SetControlText(int id, const std::u16string& text) override { texts[id] = text; }
  std::u16string GetControlText(int id) override { return texts[id]; }
  void SetButtonImage(int id, int png) override { buttonImages[id] = png; }
  int FocusedControl() override { return focused; }
  bool IsVisible() override { return visible; }
  void Show(int command) override {
    showCommands.push_back(command);
    visible = command != kSwHide;
  }
  void SetForeground() override { ++foregroundCount; }
  void EndDialog(int result) override { endResults.push_back(result); }
  bool AddTrayIcon(int, const std::u16string& tip) override {
    trayIcon = true;
    trayTip = tip;
    return true;
  }
  void RemoveTrayIcon() override { trayIcon = false; }
  int TrackPopupMenu(int menu, const std::map<int, std::u16string>& overrides) override {
    menus.emplace_back(menu, overrides);
    if (menuAnswers.empty()) return 0;
    const int answer = menuAnswers.front();
    menuAnswers.pop_front();
    return answer;
  }
  void CreateBrowser(int x, int y, int w, int h) override { browser = {x, y, w, h}; }
  void Navigate(const std::u16string& url) override { navigations.push_back(url); }
};

}  // namespace zeva::test
