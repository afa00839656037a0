#include "ports/gtk/gtk_system.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/unicode.h"
#include "ports/gtk/gtk_dialog.h"

namespace zeva::gtk {
namespace {

// An Xlib connection serves one thread: GDK's belongs to the thread that runs its loop, so
// other threads (the window-mode watcher) open a connection of their own for each request.
class XConnection {
 public:
  XConnection() {
    GdkDisplay* gdk = gdk_display_get_default();
    if (gdk && GDK_IS_X11_DISPLAY(gdk) && g_main_context_is_owner(g_main_context_default())) {
      m_display = GDK_DISPLAY_XDISPLAY(gdk);
    } else {
      m_display = XOpenDisplay(nullptr);
      m_own = m_display != nullptr;
    }
  }
  ~XConnection() {
    if (m_own) XCloseDisplay(m_display);
  }
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;
  Display* get() const { return m_display; }
  // Requests that may fail on a window that goes meanwhile. GDK ignores errors of
  // connections it did not open, and its own ones are trapped here.
  template <typename Requests>
  void Guarded(Requests requests) const {
    GdkDisplay* gdk = m_own ? nullptr : gdk_display_get_default();
    if (gdk) gdk_x11_display_error_trap_push(gdk);
    requests();
    XSync(m_display, False);
    if (gdk) gdk_x11_display_error_trap_pop_ignored(gdk);
  }

 private:
  Display* m_display = nullptr;
  bool m_own = false;
};

Display* XDisplay() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return nullptr;
  return GDK_DISPLAY_XDISPLAY(display);
}

std::string WindowTitle(Display* display, Window window) {
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netName, 0, 4096, False, utf8, &type, &format, &count,
                         &after, &data) == Success &&
      data && type == utf8) {
    title.assign(reinterpret_cast<char*>(data), count);
  } else {
    XTextProperty text{};
    if (XGetWMName(display, window, &text) && text.value) {
      char** list = nullptr;
      int items = 0;
      if (Xutf8TextPropertyToTextList(display, &text, &list, &items) >= Success && items > 0) {
        title = list[0];
      }
      if (list) XFreeStringList(list);
      XFree(text.value);
    }
  }
  if (data) XFree(data);
  return title;
}

std::vector<Window> RootChildren(Display* display);

// Top-level windows: the window manager's client list, or the root's children (and theirs,
// for reparenting managers) when there is no manager.
std::vector<Window> TopLevelWindows(Display* display) {
  std::vector<Window> windows;
  const Window root = DefaultRootWindow(display);
  const Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, root, clientList, 0, 65536, False, XA_WINDOW, &type, &format,
                         &count, &after, &data) == Success &&
      data && format == 32) {
    const auto* list = reinterpret_cast<const unsigned long*>(data);
    windows.assign(list, list + count);
  }
  if (data) XFree(data);
  if (!windows.empty()) return windows;
  return RootChildren(display);
}

// The root's children and theirs (reparenting managers put clients one level down).
std::vector<Window> RootChildren(Display* display) {
  std::vector<Window> windows;
  const Window root = DefaultRootWindow(display);
  Window rootReturn = 0, parent = 0, *children = nullptr;
  unsigned int n = 0;
  if (XQueryTree(display, root, &rootReturn, &parent, &children, &n)) {
    for (unsigned int i = 0; i < n; ++i) {
      windows.push_back(children[i]);
      Window* grand = nullptr;
      unsigned int m = 0;
      if (XQueryTree(display, children[i], &rootReturn, &parent, &grand, &m)) {
        windows.insert(windows.end(), grand, grand + m);
        if (grand) XFree(grand);
      }
    }
    if (children) XFree(children);
  }
  return windows;
}

// Another copy of the client's window: asked by a message only its own process acts on
// (the X server cannot show a GTK window behind its toolkit's back).
int RequestShowState(WindowHandle window, int command) {
  const XConnection connection;
  Display* display = connection.get();
  if (!display || window == 0) return 0;
  XWindowAttributes attributes{};
  bool exists = false;
  connection.Guarded([&] {
    exists = XGetWindowAttributes(display, window, &attributes) != 0;
    if (!exists) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, kShowStateAtom, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = command;
    XSendEvent(display, window, False, NoEventMask, &event);
  });
  return exists && attributes.map_state == IsViewable ? 1 : 0;
}

void FitOverOwner(GtkWindow* window, int width, int height) {
  GdkRectangle area{0, 0, 0, 0};
  if (GtkWindow* owner = gtk_window_get_transient_for(window)) {
    gtk_window_get_position(owner, &area.x, &area.y);
    gtk_window_get_size(owner, &area.width, &area.height);
  } else if (GdkMonitor* monitor =
                 gdk_display_get_monitor(gtk_widget_get_display(GTK_WIDGET(window)), 0)) {
    gdk_monitor_get_workarea(monitor, &area);
  }
  gtk_window_resize(window, width, height);
  gtk_window_move(window, std::max(0, area.x + (area.width - width) / 2),
                  std::max(0, area.y + (area.height - height) / 2));
}

}  // namespace

WindowHandle GtkWindowSystem::FindTopLevelWindow(std::u16string_view title) {
  const XConnection connection;
  Display* display = connection.get();
  if (!display) return 0;
  const std::string wanted = Utf16ToUtf8(title);
  for (Window window : TopLevelWindows(display)) {
    if (WindowTitle(display, window) == wanted) return static_cast<WindowHandle>(window);
  }
  // A hidden (withdrawn) window is in no manager's list, but still a child of the root.
  for (Window window : RootChildren(display)) {
    if (WindowTitle(display, window) == wanted) return static_cast<WindowHandle>(window);
  }
  return 0;
}

bool GtkWindowSystem::SetWindowTitle(WindowHandle window, std::u16string_view title) {
  const XConnection connection;
  Display* display = connection.get();
  if (!display || window == 0) return false;
  const std::vector<Window> windows = TopLevelWindows(display);
  if (std::find(windows.begin(), windows.end(), window) == windows.end()) return false;
  const std::string utf8 = Utf16ToUtf8(title);
  connection.Guarded([&] {
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    // WM_NAME for programs and managers that read only that: STRING when the title is
    // Latin-1, else compound text.
    char* list[] = {const_cast<char*>(utf8.c_str())};
    XTextProperty text{};
    if (Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &text) >= Success) {
      XSetWMName(display, window, &text);
      XFree(text.value);
    }
  });
  return true;
}

bool GtkWindowSystem::SetForeground(WindowHandle window) {
  if (GtkTemplateDialog* own = GtkTemplateDialog::FromHandle(window)) {
    own->SetForeground();  // a hidden window stays hidden, as another program's does
    return true;
  }
  Display* display = XDisplay();
  if (!display || window == 0) return false;
  // Ask the window manager to activate it; a hidden window stays hidden.
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 2;  // a request on the user's behalf
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XRaiseWindow(display, window);
  XFlush(display);
  return true;
}

intptr_t GtkWindowSystem::SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                            intptr_t lParam) {
  GtkTemplateDialog* own = GtkTemplateDialog::FromHandle(window);
  return own ? own->Deliver(message, wParam, lParam) : 0;
}

bool GtkWindowSystem::PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                        intptr_t lParam) {
  if (!GtkTemplateDialog::FromHandle(window)) return false;
  struct Posted {
    WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
  };
  // Delivered from the main loop later; a window gone meanwhile gets nothing.
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        const auto* posted = static_cast<Posted*>(data);
        if (GtkTemplateDialog* target = GtkTemplateDialog::FromHandle(posted->window)) {
          target->Deliver(posted->message, posted->wParam, posted->lParam);
        }
        return G_SOURCE_REMOVE;
      },
      new Posted{window, message, wParam, lParam},
      [](gpointer data) { delete static_cast<Posted*>(data); });
  return true;
}

int GtkWindowSystem::SetShowState(WindowHandle window, int command) {
  GtkTemplateDialog* own = GtkTemplateDialog::FromHandle(window);
  if (!own) return RequestShowState(window, command);
  const bool wasVisible = own->IsVisible();
  own->Show(command);
  return wasVisible ? 1 : 0;
}

bool GtkWindowSystem::IsMaximized(WindowHandle window) {
  GtkTemplateDialog* own = GtkTemplateDialog::FromHandle(window);
  return own && gtk_window_is_maximized(own->Window());
}

WindowHandle GtkWindowSystem::ActiveWindow() {
  GList* toplevels = gtk_window_list_toplevels();
  WindowHandle active = 0;
  for (GList* item = toplevels; item; item = item->next) {
    GtkWindow* window = GTK_WINDOW(item->data);
    GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window));
    if (gtk_window_is_active(window) && gdkWindow && GDK_IS_X11_WINDOW(gdkWindow)) {
      active = static_cast<WindowHandle>(gdk_x11_window_get_xid(gdkWindow));
      break;
    }
  }
  g_list_free(toplevels);
  return active;
}

int GtkDialogs::ShowMessageBox(uint32_t owner, const std::u16string& text,
                               const std::u16string& caption, uint32_t style) {
  return ShowRenamedMessageBox(owner, text, caption, style, {});
}

int GtkDialogs::ShowRenamedMessageBox(uint32_t owner, const std::u16string& text,
                                      const std::u16string& caption, uint32_t style,
                                      const std::vector<std::u16string>& buttonTexts) {
  GtkTemplateDialog* parent = GtkTemplateDialog::FromHandle(owner);
  GtkMessageType type = GTK_MESSAGE_OTHER;
  switch (style & 0xF0) {
    case kMbIconError:
      type = GTK_MESSAGE_ERROR;
      break;
    case kMbIconQuestion:
      type = GTK_MESSAGE_QUESTION;
      break;
    case kMbIconExclamation:
      type = GTK_MESSAGE_WARNING;
      break;
    case kMbIconInformation:
      type = GTK_MESSAGE_INFO;
      break;
    default:
      break;
  }
  GtkWidget* dialog =
      gtk_message_dialog_new(parent ? parent->Window() : nullptr, GTK_DIALOG_MODAL, type,
                             GTK_BUTTONS_NONE, "%s", Utf16ToUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), Utf16ToUtf8(caption).c_str());
  const uint32_t buttons = style & 0x0F;
  struct Button {
    const char* text;
    int answer;
  };
  std::vector<Button> row;
  int closeAnswer = kIdCancel;
  switch (buttons) {
    case kMbOkCancel:
      row = {{"确定", kIdOk}, {"取消", kIdCancel}};
      break;
    case kMbYesNoCancel:
      row = {{"是", kIdYes}, {"否", kIdNo}, {"取消", kIdCancel}};
      break;
    case kMbYesNo:
      row = {{"是", kIdYes}, {"否", kIdNo}};
      closeAnswer = kIdNo;
      break;
    default:
      row = {{"确定", kIdOk}};
      closeAnswer = kIdOk;
      break;
  }
  for (size_t i = 0; i < row.size(); ++i) {
    const std::string renamed = i < buttonTexts.size() ? Utf16ToUtf8(buttonTexts[i]) : row[i].text;
    gtk_dialog_add_button(GTK_DIALOG(dialog), renamed.c_str(), row[i].answer);
  }
  // The first button is the default one, as on Windows: Enter presses it.
  gtk_dialog_set_default_response(
      GTK_DIALOG(dialog), buttons == kMbYesNoCancel || buttons == kMbYesNo ? kIdYes : kIdOk);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return response > 0 ? response : closeAnswer;
}

std::optional<std::u16string> GtkDialogs::PickFolder(uint32_t owner, const std::u16string& prompt,
                                                     const std::u16string& startFolder) {
  GtkTemplateDialog* parent = GtkTemplateDialog::FromHandle(owner);
  GtkWidget* dialog =
      gtk_file_chooser_dialog_new(Utf16ToUtf8(prompt).c_str(), parent ? parent->Window() : nullptr,
                                  GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "取消",
                                  GTK_RESPONSE_CANCEL, "选择", GTK_RESPONSE_ACCEPT, nullptr);
  // The chooser sizes itself when it maps, larger than small screens, which may have no
  // manager to fit it: it takes a fixed size then, centred over its owner.
  g_signal_connect_after(dialog, "map", G_CALLBACK(+[](GtkWidget* widget, gpointer) {
                           FitOverOwner(GTK_WINDOW(widget), 760, 520);
                         }),
                         nullptr);
  const std::string start = Utf16ToUtf8(startFolder);
  if (!start.empty() && g_file_test(start.c_str(), G_FILE_TEST_IS_DIR)) {
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), start.c_str());
  }
  std::optional<std::u16string> folder;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    char* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    folder = Utf8ToUtf16(path ? path : "");  // no file-system path: empty
    g_free(path);
  }
  gtk_widget_destroy(dialog);
  return folder;
}

bool GtkToolkit::Start() {
  // Window handles are X11 ids: under Wayland the client runs through XWayland.
  gdk_set_allowed_backends("x11");
  return gtk_init_check(nullptr, nullptr);
}

}  // namespace zeva::gtk
