// What a window's core class asks of its native window. The port builds the window from its
// template, turns native events into the class's messages and commands, and carries out
// these requests.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/window_system.h"

namespace zeva {

class IWindowView {
 public:
  virtual ~IWindowView() = default;

  virtual WindowHandle Handle() const = 0;
  virtual void SetTitle(const std::u16string& title) = 0;
  // Screen position and outer size, in pixels.
  virtual void SetBounds(int x, int y, int width, int height) = 0;
  // No caption or border; minimisable from the taskbar.
  virtual void SetCaptionless() = 0;
  virtual void SetBackground(int pngResource) = 0;
  virtual void SetIcon(int iconResource) = 0;

  virtual void MoveControl(int id, int x, int y, int width, int height) = 0;
  virtual void SetControlText(int id, const std::u16string& text) = 0;
  virtual std::u16string GetControlText(int id) = 0;
  // Gives an image button its strip; the button takes the size of one frame.
  virtual void SetButtonImage(int id, int pngResource) = 0;
  // The control that has the keyboard focus (0: none).
  virtual int FocusedControl() = 0;

  virtual bool IsVisible() = 0;
  virtual void Show(int showCommand) = 0;
  virtual void SetForeground() = 0;
  // Ends the window's modal run with `result`.
  virtual void EndDialog(int result) = 0;

  virtual bool AddTrayIcon(int iconResource, const std::u16string& tip) = 0;
  virtual void RemoveTrayIcon() = 0;
  // Shows the menu's popup at the cursor and returns the chosen command (0: none). Items
  // in `texts` show the given text instead of the template's.
  virtual int TrackPopupMenu(int menuResource, const std::map<int, std::u16string>& texts) = 0;

  // The page area: creates the browser control at the given place and shows `url`.
  virtual void CreateBrowser(int x, int y, int width, int height) = 0;
  virtual void Navigate(const std::u16string& url) = 0;
};

}  // namespace zeva
