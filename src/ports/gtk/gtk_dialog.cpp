#include "ports/gtk/gtk_dialog.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib/gstdio.h>
#include <libayatana-appindicator/app-indicator.h>

#include <algorithm>
#include <mutex>
#include <span>

#include "platform/dialogs.h"
#include "platform/unicode.h"
#include "ports/gtk/gtk_skin.h"
#include "ports/gtk/gtk_system.h"
#include "res/png_resources.h"
#include "res/resource_ids.h"
#include "ui/window_messages.h"

namespace zeva::gtk {
namespace {

std::map<WindowHandle, GtkTemplateDialog*>& Windows() {
  static std::map<WindowHandle, GtkTemplateDialog*> windows;
  return windows;
}

// Worker threads post to windows by handle (the download dialog's): the look-up is guarded,
// the window itself is only ever used on the main loop's thread.
std::mutex& WindowsMutex() {
  static std::mutex mutex;
  return mutex;
}

// Dialog units of the template's font: about 7 x 14 pixels per character at 9 points.
res::DialogUnitScale ScaleFor(const res::DialogTemplate& dialog) {
  return dialog.fontPoints >= 9 ? res::DialogUnitScale{7, 14} : res::DialogUnitScale{6, 13};
}

constexpr int kStripFrames = 4;

// The StatusNotifierItem's icon, by name, in the item's own icon folder.
constexpr char kIndicatorIcon[] = "zeva-tray";
// A session bus that takes longer than this to answer has no tray for us.
constexpr int kBusTimeoutMs = 1000;

std::string MenuItemLabel(const res::MenuItem& item, const std::map<int, std::u16string>& texts) {
  const auto text = texts.find(item.command);
  return Utf16ToUtf8(text != texts.end() ? text->second : std::u16string(item.text));
}

// Whether the session has a tray for StatusNotifierItems: the watcher owns its name and a
// host (the panel that draws the items) has registered with it.
bool StatusNotifierHostPresent() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus) return false;
  // The client outlives its session bus if it must: the bus is only the tray's way in.
  g_dbus_connection_set_exit_on_close(bus, FALSE);
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
      "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"),
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusTimeoutMs, nullptr, nullptr);
  g_object_unref(bus);
  if (!reply) return false;
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  const bool registered =
      g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
  g_variant_unref(value);
  g_variant_unref(reply);
  return registered;
}

// The theme's padding and minimum sizes make entries, radio buttons and check boxes larger
// than their rectangles in the template; these fit them in.
void FitToTemplate(GtkWidget* widget) {
  static GtkCssProvider* css = [] {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(
        provider,
        "entry{min-height:0;padding-top:1px;padding-bottom:1px;}"
        "radiobutton,checkbutton{padding:0;margin:0;min-height:0;}"
        "radio,check{min-width:12px;min-height:12px;margin:0;padding:0;}",
        -1, nullptr);
    return provider;
  }();
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace

GtkTemplateDialog::GtkTemplateDialog(const res::DialogTemplate& dialog, WindowHandle owner,
                                     IDialogEvents& events, BrowserFactory browserFactory)
    : m_events(events),
      m_browserFactory(std::move(browserFactory)),
      m_owner(owner),
      m_scale(ScaleFor(dialog)) {
  m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(m_window), !dialog.taskbarButton);
  if (!dialog.caption.empty()) {
    gtk_window_set_title(GTK_WINDOW(m_window), Utf16ToUtf8(dialog.caption).c_str());
  }
  gtk_window_set_default_size(GTK_WINDOW(m_window), m_scale.X(dialog.width),
                              m_scale.Y(dialog.height));
  if (GtkTemplateDialog* parent = FromHandle(owner)) {
    gtk_window_set_transient_for(GTK_WINDOW(m_window), parent->Window());
  }
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
                     static_cast<GtkTemplateDialog*>(self)->Command(kIdCancel);
                     return TRUE;
                   }),
                   this);
  // Shown or hidden, at its class's request or anyone else's: the class hears of it.
  g_signal_connect(m_window, "show", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                     static_cast<GtkTemplateDialog*>(self)->Deliver(kWmShowWindow, 1, 0);
                   }),
                   this);
  g_signal_connect(m_window, "hide", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                     static_cast<GtkTemplateDialog*>(self)->Deliver(kWmShowWindow, 0, 0);
                   }),
                   this);
  gtk_widget_realize(m_window);
  // Kept, so any thread may read it (posting from a worker).
  if (GdkWindow* window = gtk_widget_get_window(m_window); window && GDK_IS_X11_WINDOW(window)) {
    m_handle = static_cast<WindowHandle>(gdk_x11_window_get_xid(window));
  }
  {
    std::lock_guard lock(WindowsMutex());
    Windows()[Handle()] = this;
  }
  gdk_window_add_filter(gtk_widget_get_window(m_window), &GtkTemplateDialog::OnXEvent, this);
}

GtkTemplateDialog::~GtkTemplateDialog() {
  {
    std::lock_guard lock(WindowsMutex());
    Windows().erase(Handle());
  }
  gdk_window_remove_filter(gtk_widget_get_window(m_window), &GtkTemplateDialog::OnXEvent, this);
  if (m_loop) g_main_loop_quit(m_loop);
  RemoveTrayIcon();
  m_browser.reset();
  g_signal_handlers_disconnect_by_data(m_window, this);  // its class hears nothing more
  gtk_widget_destroy(m_window);
  for (auto& [id, button] : m_buttons) {
    if (button.strip) g_object_unref(button.strip);
  }
  for (auto& [id, picture] : m_pictures) {
    if (picture.image) g_object_unref(picture.image);
  }
  if (m_background) g_object_unref(m_background);
  if (m_icon) g_object_unref(m_icon);
}

GtkTemplateDialog* GtkTemplateDialog::FromHandle(WindowHandle handle) {
  std::lock_guard lock(WindowsMutex());
  const auto it = Windows().find(handle);
  return it == Windows().end() ? nullptr : it->second;
}

void GtkTemplateDialog::BuildControls(const res::DialogTemplate& dialog) {
  const res::DialogUnitScale& scale = m_scale;
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
        FitToTemplate(widget);
        break;
      case res::ControlKind::kCheckBox:
        widget = gtk_check_button_new();
        FitToTemplate(widget);
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
                           static_cast<GtkTemplateDialog*>(self)->Command(
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
        FitToTemplate(widget);
        break;
      case res::ControlKind::kStatic: {
        widget = gtk_label_new(Utf16ToUtf8(control.text).c_str());
        // The system's colours until the window's class names a style for it.
        gtk_label_set_xalign(GTK_LABEL(widget), 0);
        break;
      }
    }
    gtk_widget_set_size_request(widget, scale.X(control.width), scale.Y(control.height));
    gtk_fixed_put(GTK_FIXED(m_fixed), widget, scale.X(control.x), scale.Y(control.y));
    gtk_widget_set_no_show_all(widget, !control.visible);
    if (control.id != res::kNoId) m_controls[control.id] = widget;
    if (control.id == res::kNoId && (control.kind == res::ControlKind::kStatic ||
                                     control.kind == res::ControlKind::kGroupBox)) {
      m_unnamedLabels.push_back(widget);
    }
  }
}

GtkWidget* GtkTemplateDialog::Control(int id) const {
  const auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : it->second;
}

void GtkTemplateDialog::Command(int id) {
  m_events.OnCommand(id);
}

intptr_t GtkTemplateDialog::Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmCommand:
      Command(static_cast<int>(wParam & 0xFFFF));
      return 0;
    case kWmClose:
      Command(kIdCancel);
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
      return m_events.OnMessage(message, wParam, lParam);
  }
}

void GtkTemplateDialog::Open() {
  m_events.OnInitDialog();
  gtk_widget_show_all(m_window);
  gtk_window_present(GTK_WINDOW(m_window));  // the new window takes the keyboard
}

int GtkTemplateDialog::RunModal() {
  // The owner takes no input while its modal window runs.
  GtkTemplateDialog* owner = FromHandle(m_owner);
  if (owner) gtk_widget_set_sensitive(owner->m_window, FALSE);
  Open();
  m_loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(m_loop);
  g_main_loop_unref(m_loop);
  m_loop = nullptr;
  gtk_widget_hide(m_window);
  if ((owner = FromHandle(m_owner)) != nullptr) gtk_widget_set_sensitive(owner->m_window, TRUE);
  return m_result;
}

bool GtkTemplateDialog::ShowModeless() {
  Open();
  return true;
}

WindowHandle GtkTemplateDialog::Handle() const {
  return m_handle;
}

void GtkTemplateDialog::SetTitle(const std::u16string& title) {
  gtk_window_set_title(GTK_WINDOW(m_window), Utf16ToUtf8(title).c_str());
}

void GtkTemplateDialog::SetBounds(int x, int y, int width, int height) {
  gtk_window_move(GTK_WINDOW(m_window), x, y);
  gtk_window_resize(GTK_WINDOW(m_window), width, height);
  gtk_widget_set_size_request(m_backgroundArea, width, height);
}

ScreenRect GtkTemplateDialog::Bounds() {
  ScreenRect bounds;
  gtk_window_get_position(GTK_WINDOW(m_window), &bounds.x, &bounds.y);
  gtk_window_get_size(GTK_WINDOW(m_window), &bounds.width, &bounds.height);
  return bounds;
}

std::optional<ScreenRect> GtkTemplateDialog::ShownOwnerBounds() {
  GtkTemplateDialog* owner = FromHandle(m_owner);
  if (!owner || !gtk_widget_get_visible(owner->m_window)) return std::nullopt;
  GdkWindow* window = gtk_widget_get_window(owner->m_window);
  if (window && (gdk_window_get_state(window) & GDK_WINDOW_STATE_ICONIFIED)) return std::nullopt;
  return owner->Bounds();
}

ScreenRect GtkTemplateDialog::WorkArea() {
  GdkDisplay* display = gtk_widget_get_display(m_window);
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  GdkRectangle area{};
  if (monitor) gdk_monitor_get_workarea(monitor, &area);
  return {area.x, area.y, area.width, area.height};
}

void GtkTemplateDialog::SetCaptionless() {
  gtk_window_set_decorated(GTK_WINDOW(m_window), FALSE);
}

void GtkTemplateDialog::SetBackground(int pngResource) {
  if (m_background) g_object_unref(m_background);
  m_background = LoadPngResource(pngResource);
  gtk_widget_queue_draw(m_backgroundArea);
}

void GtkTemplateDialog::SetIcon(int iconResource) {
  if (m_icon) g_object_unref(m_icon);
  m_icon = LoadPngResource(iconResource);
  if (m_icon) gtk_window_set_icon(GTK_WINDOW(m_window), m_icon);
}

void GtkTemplateDialog::MoveControl(int id, int x, int y, int width, int height) {
  GtkWidget* widget = Control(id);
  if (!widget) return;
  gtk_fixed_move(GTK_FIXED(m_fixed), widget, x, y);
  gtk_widget_set_size_request(widget, width, height);
}

void GtkTemplateDialog::ShowControl(int id, bool shown) {
  GtkWidget* widget = Control(id);
  if (!widget) return;
  gtk_widget_set_no_show_all(widget, !shown);
  gtk_widget_set_visible(widget, shown);
}

void GtkTemplateDialog::EnableControl(int id, bool enabled) {
  if (GtkWidget* widget = Control(id)) gtk_widget_set_sensitive(widget, enabled);
}

void GtkTemplateDialog::SetControlText(int id, const std::u16string& text) {
  GtkWidget* widget = Control(id);
  if (!widget) return;
  const std::string utf8 = Utf16ToUtf8(text);
  if (GTK_IS_LABEL(widget)) gtk_label_set_text(GTK_LABEL(widget), utf8.c_str());
  if (GTK_IS_ENTRY(widget)) gtk_entry_set_text(GTK_ENTRY(widget), utf8.c_str());
  if (GTK_IS_BUTTON(widget)) gtk_button_set_label(GTK_BUTTON(widget), utf8.c_str());
  if (GTK_IS_FRAME(widget)) gtk_frame_set_label(GTK_FRAME(widget), utf8.c_str());
}

std::u16string GtkTemplateDialog::GetControlText(int id) {
  GtkWidget* widget = Control(id);
  if (!widget) return {};
  if (GTK_IS_ENTRY(widget)) return Utf8ToUtf16(gtk_entry_get_text(GTK_ENTRY(widget)));
  if (GTK_IS_LABEL(widget)) return Utf8ToUtf16(gtk_label_get_text(GTK_LABEL(widget)));
  if (GTK_IS_BUTTON(widget)) {
    const char* label = gtk_button_get_label(GTK_BUTTON(widget));
    return Utf8ToUtf16(label ? label : "");
  }
  return {};
}

void GtkTemplateDialog::SetTextStyle(int id, const TextStyle& style) {
  std::vector<GtkWidget*> widgets = m_unnamedLabels;
  if (id != res::kNoId) {
    GtkWidget* widget = Control(id);
    if (!widget) return;
    widgets = {widget};
  }
  auto rgb = [](uint32_t colour) {
    char text[8];
    g_snprintf(text, sizeof text, "#%06x", colour & 0xFFFFFF);
    return std::string(text);
  };
  // A group box's text is its label's; an opaque label paints its background behind it.
  std::string css = "*{color:" + rgb(style.colour) + ";";
  css += style.transparent ? "background:none;" : "background:" + rgb(style.backColour) + ";";
  if (!style.fontName.empty()) css += "font-family:\"" + Utf16ToUtf8(style.fontName) + "\";";
  if (style.fontPoints > 0) css += "font-size:" + std::to_string(style.fontPoints) + "pt;";
  if (style.bold) css += "font-weight:bold;";
  if (style.underline) css += "text-decoration:underline;";
  css += "}";
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
  for (GtkWidget* widget : widgets) {
    if (GTK_IS_FRAME(widget)) widget = gtk_frame_get_label_widget(GTK_FRAME(widget));
    if (!widget) continue;
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                   GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
  }
  g_object_unref(provider);
}

void GtkTemplateDialog::SetPicture(int id, int pngResource) {
  GtkWidget* label = Control(id);
  if (!label) return;
  Picture& picture = m_pictures[id];
  if (!picture.area) {
    // The label's place now shows the picture at its own size.
    picture.area = gtk_drawing_area_new();
    g_signal_connect(picture.area, "draw",
                     G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer image) -> gboolean {
                       PaintPicture(cr, *static_cast<GdkPixbuf**>(image));
                       return TRUE;
                     }),
                     &picture.image);
    int x = 0, y = 0;
    gtk_container_child_get(GTK_CONTAINER(m_fixed), label, "x", &x, "y", &y, nullptr);
    gtk_container_remove(GTK_CONTAINER(m_fixed), label);
    gtk_fixed_put(GTK_FIXED(m_fixed), picture.area, x, y);
    m_controls[id] = picture.area;
  }
  if (picture.image) g_object_unref(picture.image);
  picture.image = LoadPngResource(pngResource);
  if (picture.image) {
    gtk_widget_set_size_request(picture.area, gdk_pixbuf_get_width(picture.image),
                                gdk_pixbuf_get_height(picture.image));
  }
  gtk_widget_show(picture.area);
  gtk_widget_queue_draw(picture.area);
}

void GtkTemplateDialog::SetCheck(int id, bool checked) {
  GtkWidget* widget = Control(id);
  if (widget && GTK_IS_TOGGLE_BUTTON(widget)) {
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), checked);
  }
}

bool GtkTemplateDialog::IsChecked(int id) {
  GtkWidget* widget = Control(id);
  return widget && GTK_IS_TOGGLE_BUTTON(widget) &&
         gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget));
}

void GtkTemplateDialog::SetProgressRange(int id, int low, int high) {
  m_progressRanges[id] = {low, high};
}

void GtkTemplateDialog::SetProgressPos(int id, int position) {
  GtkWidget* widget = Control(id);
  if (!widget || !GTK_IS_PROGRESS_BAR(widget)) return;
  // The Windows default range is 0-100.
  const auto range = m_progressRanges.find(id);
  const auto [low, high] = range == m_progressRanges.end() ? std::pair{0, 100} : range->second;
  const double span = high > low ? high - low : 1;
  const double fraction = (std::clamp(position, low, std::max(low, high)) - low) / span;
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widget), fraction);
}

void GtkTemplateDialog::SetButtonImage(int id, int pngResource) {
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

int GtkTemplateDialog::FocusedControl() {
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(m_window));
  if (focus && m_browser &&
      (focus == m_browser->Widget() || gtk_widget_is_ancestor(focus, m_browser->Widget()))) {
    return res::kBrowserArea;
  }
  for (const auto& [id, widget] : m_controls) {
    if (widget == focus) return id;
  }
  return 0;
}

void GtkTemplateDialog::SetFocusedControl(int id) {
  GtkWidget* widget = id == res::kBrowserArea && m_browser ? m_browser->Widget() : Control(id);
  if (widget) gtk_widget_grab_focus(widget);
}

bool GtkTemplateDialog::IsVisible() {
  return gtk_widget_get_visible(m_window);
}

void GtkTemplateDialog::Show(int showCommand) {
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

void GtkTemplateDialog::SetForeground() {
  // As on Windows: the foreground is for a window on the screen; a hidden or minimised one
  // stays as it is (gtk_window_present would show or restore it).
  if (!gtk_widget_get_visible(m_window)) return;
  GdkWindow* window = gtk_widget_get_window(m_window);
  if (window && (gdk_window_get_state(window) & GDK_WINDOW_STATE_ICONIFIED)) return;
  gtk_window_present(GTK_WINDOW(m_window));
}

void GtkTemplateDialog::EndDialog(int result) {
  m_result = result;
  if (m_loop) {
    g_main_loop_quit(m_loop);
  } else {
    gtk_widget_hide(m_window);  // modeless: hidden until its class destroys it
  }
}

intptr_t GtkTemplateDialog::SendToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return Deliver(message, wParam, lParam);
}

bool GtkTemplateDialog::PostToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return GtkWindowSystem().PostWindowMessage(Handle(), message, wParam, lParam);
}

int GtkTemplateDialog::ShowOwnedBox(const std::u16string& text, const std::u16string& caption,
                                    uint32_t style,
                                    const std::vector<std::u16string>& buttonTexts) {
  return GtkDialogs().ShowRenamedMessageBox(Handle(), text, caption, style, buttonTexts);
}

bool GtkTemplateDialog::AddTrayIcon(int iconResource, const std::u16string& tip) {
  RemoveTrayIcon();
  // Current desktops show StatusNotifierItems; older ones embed icons in an XEmbed tray.
  if (StatusNotifierHostPresent() && AddIndicator(iconResource, tip)) return true;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GdkPixbuf* icon = LoadPngResource(iconResource);
  m_tray = icon ? gtk_status_icon_new_from_pixbuf(icon) : gtk_status_icon_new();
  if (icon) g_object_unref(icon);
  gtk_status_icon_set_tooltip_text(m_tray, Utf16ToUtf8(tip).c_str());
  // Clicks become the tray messages of the window, with the icon's number.
  g_signal_connect(m_tray, "activate", G_CALLBACK(+[](GtkStatusIcon*, gpointer self) {
                     static_cast<GtkTemplateDialog*>(self)->Deliver(kWmTrayNotify, res::kAppIcon,
                                                                    0x201);
                   }),
                   this);
  g_signal_connect(
      m_tray, "popup-menu", G_CALLBACK(+[](GtkStatusIcon*, guint, guint, gpointer self) {
        static_cast<GtkTemplateDialog*>(self)->Deliver(kWmTrayNotify, res::kAppIcon, 0x204);
      }),
      this);
  G_GNUC_END_IGNORE_DEPRECATIONS
  // The icon shows only where a tray manager owns the screen's tray selection.
  GdkWindow* own = gtk_widget_get_window(m_window);
  if (!m_tray || !own || !GDK_IS_X11_WINDOW(own)) return false;
  Display* display = GDK_WINDOW_XDISPLAY(own);
  const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
  return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
}

bool GtkTemplateDialog::AddIndicator(int iconResource, const std::u16string& tip) {
  const std::span<const unsigned char> png = res::FindPngResource(iconResource);
  if (png.empty()) return false;
  // An item names its icon and the host reads the file, for as long as the item shows it:
  // the picture goes to a folder of this window's own in the session's runtime directory
  // (the user's alone, emptied at log-out should the client never get to remove it).
  gchar* folder = g_build_filename(g_get_user_runtime_dir(), "zeva-tray-XXXXXX", nullptr);
  if (g_mkdtemp_full(folder, 0700)) m_indicatorFolder = folder;
  g_free(folder);
  if (m_indicatorFolder.empty()) return false;
  const std::string file = m_indicatorFolder + "/" + kIndicatorIcon + ".png";
  if (!g_file_set_contents(file.c_str(), reinterpret_cast<const gchar*>(png.data()),
                           static_cast<gssize>(png.size()), nullptr)) {
    g_rmdir(m_indicatorFolder.c_str());
    m_indicatorFolder.clear();
    return false;
  }
  m_indicator = app_indicator_new_with_path(
      "zeva", kIndicatorIcon, APP_INDICATOR_CATEGORY_APPLICATION_STATUS, m_indicatorFolder.c_str());
  const std::string title = Utf16ToUtf8(tip);
  app_indicator_set_title(m_indicator, title.c_str());
  app_indicator_set_icon_full(m_indicator, kIndicatorIcon, title.c_str());
  // The item registers once it has a menu; the window's tray menu fills it.
  m_indicatorMenu = GTK_WIDGET(g_object_ref_sink(gtk_menu_new()));
  app_indicator_set_menu(m_indicator, GTK_MENU(m_indicatorMenu));
  FillIndicatorMenu();
  app_indicator_set_status(m_indicator, APP_INDICATOR_STATUS_ACTIVE);
  return true;
}

void GtkTemplateDialog::FillIndicatorMenu() {
  if (!m_indicator) return;
  const res::MenuTemplate* menuTemplate = res::FindMenuTemplate(m_trayMenu.menu);
  static const std::vector<res::MenuItem> kNoItems;
  GtkMenuShell* shell = GTK_MENU_SHELL(m_indicatorMenu);
  // Items are made once per template and relabelled after, so the host keeps their numbers.
  if (m_indicatorMenuTemplate != m_trayMenu.menu) {
    app_indicator_set_secondary_activate_target(m_indicator, nullptr);
    gtk_container_foreach(
        GTK_CONTAINER(shell), [](GtkWidget* item, gpointer) { gtk_widget_destroy(item); }, nullptr);
    for (const res::MenuItem& item : menuTemplate ? menuTemplate->items : kNoItems) {
      GtkWidget* widget = nullptr;
      if (item.command == 0) {
        widget = gtk_separator_menu_item_new();
      } else {
        widget = gtk_menu_item_new_with_label("");
        g_object_set_data(G_OBJECT(widget), "zeva-command", GINT_TO_POINTER(item.command));
        // A chosen item is the window's command after the current turn, as a tray menu's
        // command is posted on Windows: the command may remove the item it came from.
        g_signal_connect(widget, "activate", G_CALLBACK(+[](GtkMenuItem* chosen, gpointer self) {
                           static_cast<GtkTemplateDialog*>(self)->PostToSelf(
                               kWmCommand,
                               static_cast<uintptr_t>(GPOINTER_TO_INT(
                                   g_object_get_data(G_OBJECT(chosen), "zeva-command"))),
                               0);
                         }),
                         this);
      }
      gtk_widget_show(widget);
      gtk_menu_shell_append(shell, widget);
    }
    m_indicatorMenuTemplate = m_trayMenu.menu;
  }
  GtkWidget* defaultItem = nullptr;
  GList* items = gtk_container_get_children(GTK_CONTAINER(shell));
  size_t index = 0;
  for (GList* node = items; node && menuTemplate; node = node->next, ++index) {
    const res::MenuItem& item = menuTemplate->items.at(index);
    if (item.command == 0) continue;
    auto* widget = GTK_MENU_ITEM(node->data);
    const std::string label = MenuItemLabel(item, m_trayMenu.texts);
    if (label != gtk_menu_item_get_label(widget)) gtk_menu_item_set_label(widget, label.c_str());
    if (item.command == m_trayMenu.defaultCommand) defaultItem = GTK_WIDGET(widget);
  }
  g_list_free(items);
  // The host's own activation of the item (a middle click) chooses the default item.
  app_indicator_set_secondary_activate_target(m_indicator, defaultItem);
}

void GtkTemplateDialog::RemoveTrayIcon() {
  if (m_indicator) {
    app_indicator_set_status(m_indicator, APP_INDICATOR_STATUS_PASSIVE);
    g_object_unref(m_indicator);
    m_indicator = nullptr;
    gtk_widget_destroy(m_indicatorMenu);
    g_object_unref(m_indicatorMenu);
    m_indicatorMenu = nullptr;
    m_indicatorMenuTemplate = 0;
    g_unlink((m_indicatorFolder + "/" + kIndicatorIcon + ".png").c_str());
    g_rmdir(m_indicatorFolder.c_str());
    m_indicatorFolder.clear();
  }
  if (!m_tray) return;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_status_icon_set_visible(m_tray, FALSE);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_object_unref(m_tray);
  m_tray = nullptr;
}

void GtkTemplateDialog::SetTrayMenu(int menuResource, const std::map<int, std::u16string>& texts,
                                    int defaultCommand) {
  m_trayMenu = {menuResource, texts, defaultCommand};
  FillIndicatorMenu();
}

int GtkTemplateDialog::TrackPopupMenu(int menuResource,
                                      const std::map<int, std::u16string>& texts) {
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
      widget = gtk_menu_item_new_with_label(MenuItemLabel(item, texts).c_str());
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

void GtkTemplateDialog::CreateBrowser(int x, int y, int width, int height,
                                      const BrowserSite& site) {
  if (!m_browserFactory || m_browser) return;
  m_browser = m_browserFactory(site, [this] { return Handle(); });
  if (!m_browser) return;
  // The page area is opaque from the first frame, as the Windows browser window is: what
  // lies under it (the main window's login form) never shows while WebKit has drawn nothing.
  GtkWidget* area = gtk_event_box_new();
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, "*{background-color:#ffffff;}", -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(area), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
  gtk_widget_set_size_request(area, width, height);
  gtk_widget_set_size_request(m_browser->Widget(), width, height);
  gtk_container_add(GTK_CONTAINER(area), m_browser->Widget());
  gtk_fixed_put(GTK_FIXED(m_fixed), area, x, y);
  gtk_widget_show(m_browser->Widget());
  gtk_widget_show(area);
  // A key the page leaves alone comes back from WebKit as unhandled: Escape and Enter then
  // act on the window, as the Windows dialog manager gives them after the browser.
  g_signal_connect_after(m_browser->Widget(), "key-press-event",
                         G_CALLBACK(+[](GtkWidget*, GdkEventKey* event, gpointer self) -> gboolean {
                           return static_cast<GtkTemplateDialog*>(self)->DialogKey(event->keyval);
                         }),
                         this);
}

void GtkTemplateDialog::Navigate(const std::u16string& url) {
  if (m_browser) m_browser->Navigate(url);
}

gboolean GtkTemplateDialog::DrawBackground(GtkWidget*, cairo_t* cr, gpointer self) {
  PaintPicture(cr, static_cast<GtkTemplateDialog*>(self)->m_background);
  return TRUE;
}

gboolean GtkTemplateDialog::DrawButton(GtkWidget* widget, cairo_t* cr, gpointer self) {
  auto* window = static_cast<GtkTemplateDialog*>(self);
  const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "zeva-id"));
  const ImageButton& button = window->m_buttons[id];
  PaintButtonFrame(cr, button.strip, button.state);
  return TRUE;
}

gboolean GtkTemplateDialog::ButtonEvent(GtkWidget* widget, GdkEvent* event, gpointer self) {
  auto* window = static_cast<GtkTemplateDialog*>(self);
  const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "zeva-id"));
  PngButton& state = window->m_buttons[id].state;
  bool repaint = false;
  switch (event->type) {
    case GDK_ENTER_NOTIFY:
    case GDK_MOTION_NOTIFY: {
      // While a press is held the button keeps getting the pointer's moves, also off it.
      GtkAllocation box;
      gtk_widget_get_allocation(widget, &box);
      const double x = event->type == GDK_ENTER_NOTIFY ? event->crossing.x : event->motion.x;
      const double y = event->type == GDK_ENTER_NOTIFY ? event->crossing.y : event->motion.y;
      const bool over = x >= 0 && y >= 0 && x < box.width && y < box.height;
      if (!over) {
        repaint = state.OnMouseMove(false);
      } else if (state.NeedsTracking()) {
        state.OnMouseMove(true);
        repaint = state.OnMouseHover();  // GTK reports the visit at once
      }
      break;
    }
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

gboolean GtkTemplateDialog::BackgroundPress(GtkWidget*, GdkEventButton* event, gpointer self) {
  auto* window = static_cast<GtkTemplateDialog*>(self);
  if (event->button != 1 || event->type != GDK_BUTTON_PRESS) return FALSE;
  const int hit = window->m_events.OnHitTest(kHitClient, static_cast<int>(event->x),
                                             static_cast<int>(event->y));
  if (hit == kHitCaption) {
    gtk_window_begin_move_drag(GTK_WINDOW(window->m_window), static_cast<gint>(event->button),
                               static_cast<gint>(event->x_root), static_cast<gint>(event->y_root),
                               event->time);
    return TRUE;
  }
  return FALSE;
}

gboolean GtkTemplateDialog::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  auto* window = static_cast<GtkTemplateDialog*>(self);
  // Keys meant for the page stay with the page.
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window->m_window));
  if (window->m_browser && focus &&
      (focus == window->m_browser->Widget() ||
       gtk_widget_is_ancestor(focus, window->m_browser->Widget()))) {
    return FALSE;
  }
  return window->DialogKey(event->keyval);
}

gboolean GtkTemplateDialog::DialogKey(guint key) {
  if (key == GDK_KEY_Escape) {
    Command(kIdCancel);
    return TRUE;
  }
  if (key == GDK_KEY_Return || key == GDK_KEY_KP_Enter) {
    Command(kIdOk);
    return TRUE;
  }
  return FALSE;
}

GdkFilterReturn GtkTemplateDialog::OnXEvent(GdkXEvent* xevent, GdkEvent*, gpointer self) {
  auto* event = static_cast<XEvent*>(xevent);
  if (event->type != ClientMessage) return GDK_FILTER_CONTINUE;
  auto* window = static_cast<GtkTemplateDialog*>(self);
  Display* display = GDK_WINDOW_XDISPLAY(gtk_widget_get_window(window->m_window));
  if (event->xclient.message_type != XInternAtom(display, kShowStateAtom, False)) {
    return GDK_FILTER_CONTINUE;
  }
  window->Show(static_cast<int>(event->xclient.data.l[0]));
  return GDK_FILTER_REMOVE;
}

}  // namespace zeva::gtk
