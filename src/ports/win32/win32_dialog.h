// The Win32 port's native dialog: renders any template of res/ through the dialog manager,
// turns window messages into its class's commands and messages, and carries out the class's
// requests.
#pragma once

#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include <map>
#include <memory>
#include <vector>

#include "ports/win32/image_button.h"
#include "ports/win32/win32_browser.h"
#include "ports/win32/win32_skin.h"
#include "res/dialog_templates.h"
#include "ui/native_dialog.h"

namespace zeva::win32 {

class Win32TemplateDialog final : public IWindowView, public INativeDialog {
 public:
  // `browserFactory` may be empty: the window then shows no pages.
  Win32TemplateDialog(const res::DialogTemplate& dialog, WindowHandle owner, IDialogEvents& events,
                      Win32BrowserFactory browserFactory);
  ~Win32TemplateDialog() override;
  Win32TemplateDialog(const Win32TemplateDialog&) = delete;
  Win32TemplateDialog& operator=(const Win32TemplateDialog&) = delete;

  // INativeDialog. A WM_QUIT ends a modal run with -1 and is posted again for the loops
  // outside.
  IWindowView& View() override { return *this; }
  int RunModal() override;
  bool ShowModeless() override;

  HWND Window() const { return m_window; }

  // IWindowView
  WindowHandle Handle() const override;
  void SetTitle(const std::u16string& title) override;
  void SetBounds(int x, int y, int width, int height) override;
  ScreenRect Bounds() override;
  std::optional<ScreenRect> ShownOwnerBounds() override;
  ScreenRect WorkArea() override;
  void SetCaptionless() override;
  void SetBackground(int pngResource) override;
  void SetIcon(int iconResource) override;
  void MoveControl(int id, int x, int y, int width, int height) override;
  void ShowControl(int id, bool shown) override;
  void EnableControl(int id, bool enabled) override;
  void SetControlText(int id, const std::u16string& text) override;
  std::u16string GetControlText(int id) override;
  void SetTextStyle(int id, const TextStyle& style) override;
  void SetButtonImage(int id, int pngResource) override;
  void SetPicture(int id, int pngResource) override;
  void SetCheck(int id, bool checked) override;
  bool IsChecked(int id) override;
  void SetProgressRange(int id, int low, int high) override;
  void SetProgressPos(int id, int position) override;
  int FocusedControl() override;
  void SetFocusedControl(int id) override;
  bool IsVisible() override;
  void Show(int showCommand) override;
  void SetForeground() override;
  void EndDialog(int result) override;
  intptr_t SendToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  bool PostToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  int ShowOwnedBox(const std::u16string& text, const std::u16string& caption, uint32_t style,
                   const std::vector<std::u16string>& buttonTexts) override;
  bool AddTrayIcon(int iconResource, const std::u16string& tip) override;
  void RemoveTrayIcon() override;
  // The shell's tray reports its clicks and the window pops the menu itself.
  void SetTrayMenu(int, const std::map<int, std::u16string>&, int) override {}
  int TrackPopupMenu(int menuResource, const std::map<int, std::u16string>& texts) override;
  void CreateBrowser(int x, int y, int width, int height, const BrowserSite& site) override;
  void Navigate(const std::u16string& url) override;

 private:
  struct LabelStyle {
    COLORREF colour = RGB(0xFF, 0xFF, 0xFF);
    bool transparent = true;
    HBRUSH back = nullptr;  // owned: behind the text when not transparent
    HFONT font = nullptr;   // owned; null: the window's font
  };

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static Win32TemplateDialog* FromWindow(HWND window);
  // Browser and dialog-manager keys for a message to one of these windows; true when taken.
  static bool PreTranslate(MSG& message);
  INT_PTR OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool Create();
  HWND Control(int id) const;
  LRESULT HitTest(WPARAM wParam, LPARAM lParam);
  bool EraseBackground(HDC dc);
  bool DrawItem(const DRAWITEMSTRUCT& item);
  // The look of a label (also group boxes, radio buttons, check boxes); null: the system's.
  const LabelStyle* StyleOf(HWND control) const;
  INT_PTR ColourLabel(HDC dc, HWND control);
  // Paints the window's picture behind `control` into `dc`, whose origin is the control's.
  void PaintBackgroundBehind(HDC dc, HWND control, int width, int height) const;
  // A label drawn onto the picture: what lies below must be painted again with it.
  void RedrawWithBackground(HWND control) const;
  void UncheckGroupSiblings(HWND radio) const;
  void ApplyStyle(HWND control, LabelStyle& label, const TextStyle& style);
  void ReplaceIcons(HICON bigIcon, HICON smallIcon);
  void FreeBackgroundBrush();

  const res::DialogTemplate& m_template;
  HWND m_owner;
  IDialogEvents& m_events;
  Win32BrowserFactory m_browserFactory;
  std::vector<WORD> m_templateBytes;
  HWND m_window = nullptr;
  bool m_modal = false;
  bool m_ended = false;
  bool m_focusChosen = false;  // the class gave a control the focus while initialising
  int m_result = -1;

  std::unique_ptr<SkinPicture> m_background;
  // The picture as a brush, for group boxes, whose frame runs behind their label.
  HBITMAP m_backgroundBitmap = nullptr;
  HBRUSH m_backgroundBrush = nullptr;
  std::map<int, std::unique_ptr<ImageButton>> m_buttons;
  std::map<int, std::unique_ptr<SkinPicture>> m_pictures;
  std::map<HWND, LabelStyle> m_labelStyles;
  // The look of every label and group box without an id of its own, once one is set.
  std::unique_ptr<LabelStyle> m_unnamedStyle;
  HICON m_bigIcon = nullptr;
  HICON m_smallIcon = nullptr;
  HICON m_trayIcon = nullptr;
  NOTIFYICONDATAW m_tray{};
  bool m_trayAdded = false;
  std::unique_ptr<IWin32Browser> m_browser;
};

}  // namespace zeva::win32
