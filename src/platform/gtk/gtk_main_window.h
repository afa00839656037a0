// A skinned window of the GTK port: the native side of a core window class. It builds its
// controls from the window's template, turns GTK events into the class's commands and
// messages, and carries out the class's requests (IWindowView).
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <memory>

#include "platform/gtk/webkit_browser.h"
#include "res/dialog_templates.h"
#include "ui/png_button.h"
#include "ui/window_view.h"

namespace zeva::gtk {

struct WindowHandlers {
  std::function<void(int id)> command;
  std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)> message;
  std::function<int(int defaultResult, int x, int y)> hitTest;
};

class GtkMainWindow final : public IWindowView {
 public:
  using BrowserFactory = std::function<std::unique_ptr<WebKitBrowser>()>;

  GtkMainWindow(const res::DialogTemplate& dialog, BrowserFactory browserFactory);
  ~GtkMainWindow() override;
  GtkMainWindow(const GtkMainWindow&) = delete;
  GtkMainWindow& operator=(const GtkMainWindow&) = delete;

  void SetHandlers(WindowHandlers handlers) { m_handlers = std::move(handlers); }
  // Shows the window and runs until EndDialog; the result given there.
  int RunModal();
  GtkWindow* Window() const { return GTK_WINDOW(m_window); }
  // Delivers a message as Windows would (commands, close, system move, the window's own).
  intptr_t Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Windows of this process by handle, for messages and message-box owners.
  static GtkMainWindow* FromHandle(WindowHandle handle);

  WindowHandle Handle() const override;
  void SetTitle(const std::u16string& title) override;
  void SetBounds(int x, int y, int width, int height) override;
  void SetCaptionless() override;
  void SetBackground(int pngResource) override;
  void SetIcon(int iconResource) override;
  void MoveControl(int id, int x, int y, int width, int height) override;
  void SetControlText(int id, const std::u16string& text) override;
  std::u16string GetControlText(int id) override;
  void SetButtonImage(int id, int pngResource) override;
  int FocusedControl() override;
  bool IsVisible() override;
  void Show(int showCommand) override;
  void SetForeground() override;
  void EndDialog(int result) override;
  bool AddTrayIcon(int iconResource, const std::u16string& tip) override;
  void RemoveTrayIcon() override;
  int TrackPopupMenu(int menuResource, const std::map<int, std::u16string>& texts) override;
  void CreateBrowser(int x, int y, int width, int height) override;
  void Navigate(const std::u16string& url) override;

 private:
  struct ImageButton {
    GtkWidget* area = nullptr;
    GdkPixbuf* strip = nullptr;
    PngButton state;
  };

  void BuildControls(const res::DialogTemplate& dialog);
  void Command(int id);
  static gboolean DrawBackground(GtkWidget* widget, cairo_t* cr, gpointer self);
  static gboolean DrawButton(GtkWidget* widget, cairo_t* cr, gpointer self);
  static gboolean ButtonEvent(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean BackgroundPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);

  WindowHandlers m_handlers;
  BrowserFactory m_browserFactory;
  GtkWidget* m_window = nullptr;
  GtkWidget* m_fixed = nullptr;
  GtkWidget* m_backgroundArea = nullptr;
  GdkPixbuf* m_background = nullptr;
  GdkPixbuf* m_icon = nullptr;
  std::map<int, GtkWidget*> m_controls;
  std::map<int, ImageButton> m_buttons;
  std::unique_ptr<WebKitBrowser> m_browser;
  GtkStatusIcon* m_tray = nullptr;
  GMainLoop* m_loop = nullptr;
  int m_result = 0;
};

// Decodes a picture of the skin; null when it is missing or broken.
GdkPixbuf* LoadPngResource(int id);

}  // namespace zeva::gtk
