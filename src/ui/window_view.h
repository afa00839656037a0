// What a window's core class asks of its native window. The port builds the window from its
// template, turns native events into the class's messages and commands, and carries out
// these requests.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace zeva {

class ExternalDispatcher;

// How a window's browser control behaves.
struct BrowserSite {
  bool scrollBars = false;
  // window.external for the pages it shows; null: pages get none.
  ExternalDispatcher* external = nullptr;
};

// A rectangle on the screen, in pixels.
struct ScreenRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const ScreenRect&) const = default;
};

// A label's look: colours as 0xRRGGBB.
struct TextStyle {
  uint32_t colour = 0x000000;
  bool transparent = true;         // drawn straight onto the window's picture
  uint32_t backColour = 0xFFFFFF;  // behind the text when not transparent
  std::u16string fontName;         // empty: the window's font
  int fontPoints = 0;              // 0: the window's size
  bool bold = false;
  bool underline = false;
};

class IWindowView {
 public:
  virtual ~IWindowView() = default;

  virtual WindowHandle Handle() const = 0;
  virtual void SetTitle(const std::u16string& title) = 0;
  // Screen position and outer size, in pixels.
  virtual void SetBounds(int x, int y, int width, int height) = 0;
  // Facts for placing the window: its own outer bounds; its owner's, while the owner is
  // shown on the screen (neither hidden nor minimised); the work area of the screen.
  virtual ScreenRect Bounds() = 0;
  virtual std::optional<ScreenRect> ShownOwnerBounds() = 0;
  virtual ScreenRect WorkArea() = 0;
  // No caption or border; minimisable from the taskbar.
  virtual void SetCaptionless() = 0;
  virtual void SetBackground(int pngResource) = 0;
  virtual void SetIcon(int iconResource) = 0;

  virtual void MoveControl(int id, int x, int y, int width, int height) = 0;
  virtual void ShowControl(int id, bool shown) = 0;
  virtual void EnableControl(int id, bool enabled) = 0;
  virtual void SetControlText(int id, const std::u16string& text) = 0;
  virtual std::u16string GetControlText(int id) = 0;
  // Id -1 styles every label and group box that has no id of its own.
  virtual void SetTextStyle(int id, const TextStyle& style) = 0;
  // Gives an image button its strip; the button takes the size of one frame.
  virtual void SetButtonImage(int id, int pngResource) = 0;
  // A label becomes a picture of its own size.
  virtual void SetPicture(int id, int pngResource) = 0;
  // Check boxes and radio buttons.
  virtual void SetCheck(int id, bool checked) = 0;
  virtual bool IsChecked(int id) = 0;
  virtual void SetProgressRange(int id, int low, int high) = 0;
  virtual void SetProgressPos(int id, int position) = 0;
  // The control that has the keyboard focus (0: none); kBrowserArea is the page.
  virtual int FocusedControl() = 0;
  virtual void SetFocusedControl(int id) = 0;

  virtual bool IsVisible() = 0;
  virtual void Show(int showCommand) = 0;
  virtual void SetForeground() = 0;
  // Ends the window's modal run with `result`; a modeless window hides.
  virtual void EndDialog(int result) = 0;

  // Messages to this window's own table: sent runs it now, posted after the current turn.
  virtual intptr_t SendToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  virtual bool PostToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // A modal box owned by this window; `buttonTexts` rename its buttons in order (empty:
  // the system's texts). Returns the button chosen (kIdOk, kIdYes...).
  virtual int ShowOwnedBox(const std::u16string& text, const std::u16string& caption,
                           uint32_t style, const std::vector<std::u16string>& buttonTexts = {}) = 0;

  // True when the icon is in a tray the user sees; false without a tray to show it.
  virtual bool AddTrayIcon(int iconResource, const std::u16string& tip) = 0;
  virtual void RemoveTrayIcon() = 0;
  // For a tray that draws the menu itself (a StatusNotifierItem host reports no clicks):
  // the template's items with `texts` in place of theirs; `defaultCommand` is the item the
  // tray's own activation chooses (0: none). A chosen item arrives as a posted command, as
  // from the Windows tray menu. Given again whenever the texts change; a port whose tray
  // reports its clicks (Windows, XEmbed) need not keep it.
  virtual void SetTrayMenu(int menuResource, const std::map<int, std::u16string>& texts,
                           int defaultCommand) = 0;
  // Shows the menu's popup at the cursor and returns the chosen command (0: none). Items
  // in `texts` show the given text instead of the template's.
  virtual int TrackPopupMenu(int menuResource, const std::map<int, std::u16string>& texts) = 0;

  // The page area: creates the window's browser control at the given place.
  virtual void CreateBrowser(int x, int y, int width, int height, const BrowserSite& site) = 0;
  virtual void Navigate(const std::u16string& url) = 0;
};

}  // namespace zeva
