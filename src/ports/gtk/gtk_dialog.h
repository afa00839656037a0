// The GTK port's native dialog: renders any template of res/ as a GTK window, turns GTK
// events into its class's commands and messages, and carries out the class's requests.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ports/gtk/webkit_browser.h"
#include "res/dialog_templates.h"
#include "ui/native_dialog.h"
#include "ui/png_button.h"

struct _AppIndicator;

namespace zeva::gtk {

// The client message another copy of the client sends to show this window (data: the show
// command).
inline constexpr char kShowStateAtom[] = "_ZEVA_SHOW_STATE";

class GtkTemplateDialog final : public IWindowView, public INativeDialog {
 public:
  // Makes a browser control for a window; `owner` answers which window owns its boxes.
  using BrowserFactory = std::function<std::unique_ptr<WebKitBrowser>(
      const BrowserSite& site, std::function<uint32_t()> owner)>;

  GtkTemplateDialog(const res::DialogTemplate& dialog, WindowHandle owner, IDialogEvents& events,
                    BrowserFactory browserFactory);
  ~GtkTemplateDialog() override;
  GtkTemplateDialog(const GtkTemplateDialog&) = delete;
  GtkTemplateDialog& operator=(const GtkTemplateDialog&) = delete;

  // INativeDialog
  IWindowView& View() override { return *this; }
  int RunModal() override;
  bool ShowModeless() override;

  GtkWindow* Window() const { return GTK_WINDOW(m_window); }
  // Delivers a message as Windows would (commands, close, system move, the window's own).
  intptr_t Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Windows of this process by handle, for messages and message-box owners.
  static GtkTemplateDialog* FromHandle(WindowHandle handle);
  // The widget of a template's control (null: no such control).
  GtkWidget* Control(int id) const;

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
  void SetTrayMenu(int menuResource, const std::map<int, std::u16string>& texts,
                   int defaultCommand) override;
  int TrackPopupMenu(int menuResource, const std::map<int, std::u16string>& texts) override;
  void CreateBrowser(int x, int y, int width, int height, const BrowserSite& site) override;
  void Navigate(const std::u16string& url) override;

 private:
  struct ImageButton {
    GtkWidget* area = nullptr;
    GdkPixbuf* strip = nullptr;
    PngButton state;
  };
  struct Picture {
    GtkWidget* area = nullptr;
    GdkPixbuf* image = nullptr;
  };

  struct TrayMenu {
    int menu = 0;
    std::map<int, std::u16string> texts;
    int defaultCommand = 0;
  };

  void BuildControls(const res::DialogTemplate& dialog);
  bool AddIndicator(int iconResource, const std::u16string& tip);
  void FillIndicatorMenu();
  void Command(int id);
  void Open();
  static gboolean DrawBackground(GtkWidget* widget, cairo_t* cr, gpointer self);
  static gboolean DrawButton(GtkWidget* widget, cairo_t* cr, gpointer self);
  static gboolean ButtonEvent(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean BackgroundPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
  // Escape and Enter as the dialog's cancel and OK; false for other keys.
  gboolean DialogKey(guint key);
  static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static GdkFilterReturn OnXEvent(GdkXEvent* xevent, GdkEvent* event, gpointer self);

  IDialogEvents& m_events;
  BrowserFactory m_browserFactory;
  WindowHandle m_owner;
  res::DialogUnitScale m_scale;
  GtkWidget* m_window = nullptr;
  WindowHandle m_handle = 0;  // the X window, from realisation on
  GtkWidget* m_fixed = nullptr;
  GtkWidget* m_backgroundArea = nullptr;
  GdkPixbuf* m_background = nullptr;
  GdkPixbuf* m_icon = nullptr;
  std::map<int, GtkWidget*> m_controls;
  std::vector<GtkWidget*> m_unnamedLabels;  // labels and group boxes without an id
  std::map<int, ImageButton> m_buttons;
  std::map<int, Picture> m_pictures;
  std::map<int, std::pair<int, int>> m_progressRanges;
  std::unique_ptr<WebKitBrowser> m_browser;
  GtkStatusIcon* m_tray = nullptr;              // in an XEmbed tray
  struct _AppIndicator* m_indicator = nullptr;  // a StatusNotifierItem
  GtkWidget* m_indicatorMenu = nullptr;
  int m_indicatorMenuTemplate = 0;  // the template its items were made from
  std::string m_indicatorFolder;    // holds the item's icon while it shows
  TrayMenu m_trayMenu;
  GMainLoop* m_loop = nullptr;
  int m_result = 0;
};

}  // namespace zeva::gtk
