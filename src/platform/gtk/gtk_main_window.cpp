#include "platform/gtk/gtk_main_window.h"

#include <gdk/gdkx.h>

#include "app/window_messages.h"
#include "platform/unicode.h"
#include "res/png_resources.h"
#include "res/resource_ids.h"

namespace zeva::gtk {
namespace {

std::map<WindowHandle, GtkMainWindow*>& Windows() {
  static std::map<WindowHandle, GtkMainWindow*> windows;
  return windows;
}

// Dialog units of the template's font: about 7 x 14 pixels per character at 9 points.
res::DialogUnitScale ScaleFor(const res::DialogTemplate& dialog) {
  return dialog.fontPoints >= 9 ? res::DialogUnitScale{7, 14} : res::DialogUnitScale{6, 13};
}

constexpr int kStripFrames = 4;

}  // namespace

GdkPixbuf* LoadPngResource(int id) {
  const std::span<const unsigned char> png = res::FindPngResource(id);
  if (png.empty()) return nullptr;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  if (!loader) return nullptr;
  GdkPixbuf* pixbuf = nullptr;
  if (gdk_pixbuf_loader_write(loader, png.data(), png.size(), nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr)) {
    pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf) g_object_ref(pixbuf);
  } else {
    gdk_pixbuf_loader_close(loader, nullptr);
  }
  g_object_unref(loader);
  return pixbuf;
}

GtkMainWindow::GtkMainWindow(const res::DialogTemplate& dialog, BrowserFactory browserFactory)
    : m_browserFactory(std::move(browserFactory)) {
  m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(m_window), !dialog.taskbarButton);
  const res::DialogUnitScale scale = ScaleFor(dialog);
  gtk_window_set_default_size(GTK_WINDOW(m_window), scale.X(dialog.width), scale.Y(dialog.height));
  m_fixed = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(m_window), m_fixed);

  m_backgroundArea = gtk_drawing_area_new();
  gtk_widget_add_events(m_backgroundArea, GDK_BUTTON_PRESS_MASK);
  g_signal_connect(m_backgroundArea, "draw", G_CALLBACK(DrawBackground), this);
  g_signal_connect(m_backgroundArea, "button-press-event", G_CALLBACK(BackgroundPress), this);
  gtk_fixed_put(GTK_FIXED(m_fixed), m_backgroundArea, 0, 0);

  BuildControls(dialog);

  g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKeyPress), this);
  // A close request from the desktop is the dialog's cancel, as on Windows.
  g_signal_connect(m_window, "delete-event",
                   G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                     static_cast<GtkMainWindow*>(self)->Command(res::kIdCancel);
                     return TRUE;
                   }),
                   this);
  gtk_widget_realize(m_window);
  Windows()[Handle()] = this;
}

GtkMainWindow::~GtkMainWindow() {
  Windows().erase(Handle());
  RemoveTrayIcon();
  m_browser.reset();
  gtk_widget_destroy(m_window);
  for (auto& [id, button] : m_buttons) {
    if (button.strip) g_object_unref(button.strip);
  }
  if (m_background) g_object_unref(m_background);
  if (m_icon) g_object_unref(m_icon);
}

GtkMainWindow* GtkMainWindow::FromHandle(WindowHandle handle) {
  const auto it = Windows().find(handle);
  return it == Windows().end() ? nullptr : it->second;
}

void GtkMainWindow::BuildControls(const res::DialogTemplate& dialog) {
  const res::DialogUnitScale scale = ScaleFor(dialog);
  GtkWidget* lastRadio = nullptr;
  for (const res::ControlTemplate& control : dialog.controls) {
    GtkWidget* widget = nullptr;
    switch (control.kind) {
      case res::ControlKind::kGroupBox:
        widget = gtk_frame_new(Utf16ToUtf8(control.text).c_str());
        break;
      case res::ControlKind::kRadio:
        // Automatic radio buttons: exactly one of each group stays selected.
        widget = control.startsGroup || !lastRadio
                     ? gtk_radio_button_new(nullptr)
                     : gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(lastRadio));
        lastRadio = widget;
        break;
      case res::ControlKind::kCheckBox:
        widget = gtk_check_button_new();
        break;
      case res::ControlKind::kProgressBar:
        widget = gtk_progress_bar_new();
        break;
      case res::ControlKind::kOwnerDrawButton: {
        widget = gtk_drawing_area_new();
        gtk_widget_add_events(widget, GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK |
                                          GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                          GDK_POINTER_MOTION_MASK);
        g_object_set_data(G_OBJECT(widget), "zeva-id", GINT_TO_POINTER(control.id));
        g_signal_connect(widget, "draw", G_CALLBACK(DrawButton), this);
        g_signal_connect(widget, "event", G_CALLBACK(ButtonEvent), this);
        m_buttons[control.id].area = widget;
        break;
      }
      case res::ControlKind::kButton: {
        widget = gtk_button_new_with_label(Utf16ToUtf8(control.text).c_str());
        g_object_set_data(G_OBJECT(widget), "zeva-id", GINT_TO_POINTER(control.id));
        g_signal_connect(widget, "clicked", G_CALLBACK(+[](GtkButton* button, gpointer self) {
                           static_cast<GtkMainWindow*>(self)->Command(
                               GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "zeva-id")));
                         }),
                         this);
        break;
      }
      case res::ControlKind::kEdit:
      case res::ControlKind::kPasswordEdit:
        widget = gtk_entry_new();
        gtk_entry_set_visibility(GTK_ENTRY(widget), control.kind == res::ControlKind::kEdit);
        gtk_entry_set_width_chars(GTK_ENTRY(widget), 1);
        break;
      case res::ControlKind::kStatic: {
        widget = gtk_label_new(Utf16ToUtf8(control.text).c_str());
        gtk_label_set_xalign(GTK_LABEL(widget), 0);
        // Labels are drawn straight onto the picture, in white.
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, "label{color:#ffffff;background:none;}", -1, nullptr);
        gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                       GTK_STYLE_PROVIDER(css),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
        break;
      }
    }
    gtk_widget_set_size_request(widget, scale.X(control.width), scale.Y(control.height));
    gtk_fixed_put(GTK_FIXED(m_fixed), widget, scale.X(control.x), scale.Y(control.y));
    gtk_widget_set_no_show_all(widget, !control.visible);
    if (control.id != res::kNoId) m_controls[control.id] = widget;
  }
}

void GtkMainWindow::Command(int id) {
  if (m_handlers.command) m_handlers.command(id);
}

intptr_t GtkMainWindow::Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmCommand:
      Command(static_cast<int>(wParam & 0xFFFF));
      return 0;
    case kWmClose:
      Command(res::kIdCancel);
      return 0;
    case kWmSysCommand:
      if ((wParam & 0xFFF0) == 0xF010) {
        // The system move: the window follows the pointer while the button is held.
        GdkDisplay* display = gtk_widget_get_display(m_window);
        GdkSeat* seat = gdk_display_get_default_seat(display);
        int x = 0, y = 0;
        gdk_window_get_device_position(gdk_get_default_root_window(), gdk_seat_get_pointer(seat),
                                       &x, &y, nullptr);
        gtk_window_begin_move_drag(GTK_WINDOW(m_window), 1, x, y, gtk_get_current_event_time());
      }
      return 0;
    default:
      return m_handlers.message ? m_handlers.message(message, wParam, lParam) : 0;
  }
}

int GtkMainWindow::RunModal() {
  gtk_widget_show_all(m_window);
  m_loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(m_loop);
  g_main_loop_unref(m_loop);
  m_loop = nullptr;
  gtk_widget_hide(m_window);
  return m_result;
}

WindowHandle GtkMainWindow::Handle() const {
  GdkWindow* window = gtk_widget_get_window(m_window);
  if (!window || !GDK_IS_X11_WINDOW(window)) return 0;
  return static_cast<WindowHandle>(gdk_x11_window_get_xid(window));
}

void GtkMainWindow::SetTitle(const std::u16string& title) {
  gtk_window_set_title(GTK_WINDOW(m_window), Utf16ToUtf8(title).c_str());
}

void GtkMainWindow::SetBounds(int x, int y, int width, int height) {
  gtk_window_move(GTK_WINDOW(m_window), x, y);
  gtk_window_resize(GTK_WINDOW(m_window), width, height);
  gtk_widget_set_size_request(m_backgroundArea, width, height);
}

void GtkMainWindow::SetCaptionless() {
  gtk_window_set_decorated(GTK_WINDOW(m_window), FALSE);
}

void GtkMainWindow::SetBackground(int pngResource) {
  if (m_background) g_object_unref(m_background);
  m_background = LoadPngResource(pngResource);
  gtk_widget_queue_draw(m_backgroundArea);
}

void GtkMainWindow::SetIcon(int iconResource) {
  if (m_icon) g_object_unref(m_icon);
  m_icon = LoadPngResource(iconResource);
  if (m_icon) gtk_window_set_icon(GTK_WINDOW(m_window), m_icon);
}

void GtkMainWindow::MoveControl(int id, int x, int y, int width, int height) {
  const auto it = m_controls.find(id);
  if (it == m_controls.end()) return;
  gtk_fixed_move(GTK_FIXED(m_fixed), it->second, x, y);
  gtk_widget_set_size_request(it->second, width, height);
}

void GtkMainWindow::SetControlText(int id, const std::u16string& text) {
  const auto it = m_controls.find(id);
  if (it == m_controls.end()) return;
  const std::string utf8 = Utf16ToUtf8(text);
  if (GTK_IS_LABEL(it->second)) gtk_label_set_text(GTK_LABEL(it->second), utf8.c_str());
  if (GTK_IS_ENTRY(it->second)) gtk_entry_set_text(GTK_ENTRY(it->second), utf8.c_str());
  if (GTK_IS_BUTTON(it->second)) gtk_button_set_label(GTK_BUTTON(it->second), utf8.c_str());
}

std::u16string GtkMainWindow::GetControlText(int id) {
  const auto it = m_controls.find(id);
  if (it == m_controls.end()) return {};
  if (GTK_IS_ENTRY(it->second)) return Utf8ToUtf16(gtk_entry_get_text(GTK_ENTRY(it->second)));
  if (GTK_IS_LABEL(it->second)) return Utf8ToUtf16(gtk_label_get_text(GTK_LABEL(it->second)));
  return {};
}

void GtkMainWindow::SetButtonImage(int id, int pngResource) {
  const auto it = m_buttons.find(id);
  if (it == m_buttons.end()) return;
  if (it->second.strip) g_object_unref(it->second.strip);
  it->second.strip = LoadPngResource(pngResource);
  if (!it->second.strip) return;
  const StripGeometry geometry = StripGeometry::Of(gdk_pixbuf_get_width(it->second.strip),
                                                   gdk_pixbuf_get_height(it->second.strip));
  gtk_widget_set_size_request(it->second.area, geometry.frameWidth, geometry.height);
  gtk_widget_queue_draw(it->second.area);
}

int GtkMainWindow::FocusedControl() {
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(m_window));
  for (const auto& [id, widget] : m_controls) {
    if (widget == focus) return id;
  }
  return 0;
}

bool GtkMainWindow::IsVisible() {
  return gtk_widget_get_visible(m_window);
}

void GtkMainWindow::Show(int showCommand) {
  GtkWindow* window = GTK_WINDOW(m_window);
  switch (showCommand) {
    case kSwHide:
      gtk_widget_hide(m_window);
      break;
    case kSwShowMinimized:
    case kSwMinimize:
      gtk_window_iconify(window);
      break;
    case kSwMaximize:
      gtk_widget_show(m_window);
      gtk_window_maximize(window);
      break;
    case kSwShowNormal:
    case kSwRestore:
      gtk_window_unmaximize(window);
      gtk_window_deiconify(window);
      gtk_widget_show(m_window);
      break;
    default:
      gtk_widget_show(m_window);
      break;
  }
}

void GtkMainWindow::SetForeground() {
  gtk_window_present(GTK_WINDOW(m_window));
}

void GtkMainWindow::EndDialog(int result) {
  m_result = result;
  if (m_loop) g_main_loop_quit(m_loop);
}

bool GtkMainWindow::AddTrayIcon(int iconResource, const std::u16string& tip) {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GdkPixbuf* icon = LoadPngResource(iconResource);
  m_tray = icon ? gtk_status_icon_new_from_pixbuf(icon) : gtk_status_icon_new();
  if (icon) g_object_unref(icon);
  gtk_status_icon_set_tooltip_text(m_tray, Utf16ToUtf8(tip).c_str());
  // Clicks become the tray messages of the window, with the icon's number.
  g_signal_connect(m_tray, "activate", G_CALLBACK(+[](GtkStatusIcon*, gpointer self) {
                     static_cast<GtkMainWindow*>(self)->Deliver(kWmTrayNotify, res::kAppIcon,
                                                                0x201);
                   }),
                   this);
  g_signal_connect(
      m_tray, "popup-menu", G_CALLBACK(+[](GtkStatusIcon*, guint, guint, gpointer self) {
        static_cast<GtkMainWindow*>(self)->Deliver(kWmTrayNotify, res::kAppIcon, 0x204);
      }),
      this);
  G_GNUC_END_IGNORE_DEPRECATIONS
  return m_tray != nullptr;
}

void GtkMainWindow::RemoveTrayIcon() {
  if (!m_tray) return;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_status_icon_set_visible(m_tray, FALSE);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_object_unref(m_tray);
  m_tray = nullptr;
}

int GtkMainWindow::TrackPopupMenu(int menuResource, const std::map<int, std::u16string>& texts) {
  const res::MenuTemplate* menuTemplate = res::FindMenuTemplate(menuResource);
  if (!menuTemplate) return 0;
  struct Tracking {
    int chosen = 0;
    GMainLoop* loop = nullptr;
  } tracking;
  tracking.loop = g_main_loop_new(nullptr, FALSE);
  GtkWidget* menu = gtk_menu_new();
  for (const res::MenuItem& item : menuTemplate->items) {
    GtkWidget* widget = nullptr;
    if (item.command == 0) {
      widget = gtk_separator_menu_item_new();
    } else {
      const auto text = texts.find(item.command);
      widget = gtk_menu_item_new_with_label(
          Utf16ToUtf8(text != texts.end() ? text->second : std::u16string(item.text)).c_str());
      g_object_set_data(G_OBJECT(widget), "zeva-command", GINT_TO_POINTER(item.command));
      g_signal_connect(widget, "activate", G_CALLBACK(+[](GtkMenuItem* activated, gpointer data) {
                         static_cast<Tracking*>(data)->chosen = GPOINTER_TO_INT(
                             g_object_get_data(G_OBJECT(activated), "zeva-command"));
                       }),
                       &tracking);
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), widget);
  }
  gtk_widget_show_all(menu);
  // The item's activation follows the menu's deactivation: finish one idle turn later.
  g_signal_connect(menu, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer data) {
                     g_idle_add(
                         [](gpointer loop) -> gboolean {
                           g_main_loop_quit(static_cast<GMainLoop*>(loop));
                           return G_SOURCE_REMOVE;
                         },
                         static_cast<Tracking*>(data)->loop);
                   }),
                   &tracking);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_menu_popup(GTK_MENU(menu), nullptr, nullptr, nullptr, nullptr, 0,
                 gtk_get_current_event_time());
  G_GNUC_END_IGNORE_DEPRECATIONS
  if (gtk_widget_get_visible(menu)) g_main_loop_run(tracking.loop);
  g_main_loop_unref(tracking.loop);
  gtk_widget_destroy(menu);
  return tracking.chosen;
}

void GtkMainWindow::CreateBrowser(int x, int y, int width, int height) {
  if (!m_browserFactory) return;
  m_browser = m_browserFactory();
  if (!m_browser) return;
  gtk_widget_set_size_request(m_browser->Widget(), width, height);
  gtk_fixed_put(GTK_FIXED(m_fixed), m_browser->Widget(), x, y);
  gtk_widget_show(m_browser->Widget());
}

void GtkMainWindow::Navigate(const std::u16string& url) {
  if (m_browser) m_browser->Navigate(url);
}

gboolean GtkMainWindow::DrawBackground(GtkWidget*, cairo_t* cr, gpointer self) {
  auto* window = static_cast<GtkMainWindow*>(self);
  if (window->m_background) {
    gdk_cairo_set_source_pixbuf(cr, window->m_background, 0, 0);
    cairo_paint(cr);
  }
  return TRUE;
}

gboolean GtkMainWindow::DrawButton(GtkWidget* widget, cairo_t* cr, gpointer self) {
  auto* window = static_cast<GtkMainWindow*>(self);
  const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "zeva-id"));
  ImageButton& button = window->m_buttons[id];
  if (!button.strip) return TRUE;
  const StripGeometry geometry =
      StripGeometry::Of(gdk_pixbuf_get_width(button.strip), gdk_pixbuf_get_height(button.strip));
  const int frame = static_cast<int>(button.state.Frame());
  // One frame of the strip, unscaled; transparent pixels show what lies below.
  cairo_rectangle(cr, 0, 0, geometry.frameWidth, geometry.height);
  cairo_clip(cr);
  gdk_cairo_set_source_pixbuf(cr, button.strip, -frame * geometry.frameWidth, 0);
  cairo_paint(cr);
  return TRUE;
}

gboolean GtkMainWindow::ButtonEvent(GtkWidget* widget, GdkEvent* event, gpointer self) {
  auto* window = static_cast<GtkMainWindow*>(self);
  const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "zeva-id"));
  PngButton& state = window->m_buttons[id].state;
  bool repaint = false;
  switch (event->type) {
    case GDK_ENTER_NOTIFY:
    case GDK_MOTION_NOTIFY:
      if (state.NeedsTracking()) {
        state.OnMouseMove();
        repaint = state.OnMouseHover();  // GTK reports the visit at once
      }
      break;
    case GDK_LEAVE_NOTIFY:
      repaint = state.OnMouseLeave();
      break;
    case GDK_BUTTON_PRESS:
      if (event->button.button == 1) repaint = state.OnButtonDown();
      break;
    case GDK_2BUTTON_PRESS:
      if (event->button.button == 1) repaint = state.OnDoubleClick();
      break;
    case GDK_BUTTON_RELEASE:
      if (event->button.button == 1) {
        GtkAllocation box;
        gtk_widget_get_allocation(widget, &box);
        const bool over = event->button.x >= 0 && event->button.y >= 0 &&
                          event->button.x < box.width && event->button.y < box.height;
        const bool click = state.OnButtonUp(over);
        gtk_widget_queue_draw(widget);
        if (click) window->Command(id);
        return TRUE;
      }
      break;
    default:
      return FALSE;
  }
  if (repaint) gtk_widget_queue_draw(widget);
  return TRUE;
}

gboolean GtkMainWindow::BackgroundPress(GtkWidget*, GdkEventButton* event, gpointer self) {
  auto* window = static_cast<GtkMainWindow*>(self);
  if (event->button != 1 || event->type != GDK_BUTTON_PRESS) return FALSE;
  const int hit = window->m_handlers.hitTest
                      ? window->m_handlers.hitTest(kHitClient, static_cast<int>(event->x),
                                                   static_cast<int>(event->y))
                      : kHitClient;
  if (hit == kHitCaption) {
    gtk_window_begin_move_drag(GTK_WINDOW(window->m_window), static_cast<gint>(event->button),
                               static_cast<gint>(event->x_root), static_cast<gint>(event->y_root),
                               event->time);
    return TRUE;
  }
  return FALSE;
}

gboolean GtkMainWindow::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  auto* window = static_cast<GtkMainWindow*>(self);
  // Keys meant for the page stay with the page.
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window->m_window));
  if (window->m_browser && focus &&
      (focus == window->m_browser->Widget() ||
       gtk_widget_is_ancestor(focus, window->m_browser->Widget()))) {
    return FALSE;
  }
  if (event->keyval == GDK_KEY_Escape) {
    window->Command(res::kIdCancel);
    return TRUE;
  }
  if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) {
    window->Command(res::kIdOk);
    return TRUE;
  }
  return FALSE;
}

}  // namespace zeva::gtk
