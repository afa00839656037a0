// A stand-in for the game's launcher in demos and tests: installed as QQLogin.exe in the demo
// game folder, it opens one X11 window titled "crossfire" (the title the client's window-mode
// watcher looks for) and shows the title it currently has, so a retitle is visible.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
  g_stop = 1;
}

std::string CurrentTitle(Display* display, Window window) {
  Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                         &after, &data) == Success &&
      data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  if (title.empty()) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
      title = name;
      XFree(name);
    }
  }
  return title;
}

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "QQLogin stand-in: no X display\n");
    return 1;
  }
  std::signal(SIGTERM, OnStopSignal);
  std::signal(SIGINT, OnStopSignal);

  int screen = DefaultScreen(display);
  Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 100, 100, 640, 480, 1,
                                      BlackPixel(display, screen), BlackPixel(display, screen));
  const char kTitle[] = "crossfire";
  XStoreName(display, window, kTitle);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                  XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(kTitle), std::strlen(kTitle));
  XClassHint hint{const_cast<char*>("crossfire"), const_cast<char*>("CrossFire")};
  XSetClassHint(display, window, &hint);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);
  XSelectInput(display, window, ExposureMask | PropertyChangeMask | StructureNotifyMask);
  XMapWindow(display, window);
  XFlush(display);
  std::printf("QQLogin stand-in: window 0x%lx titled \"crossfire\"\n", window);
  std::fflush(stdout);

  GC gc = XCreateGC(display, window, 0, nullptr);
  XSetForeground(display, gc, WhitePixel(display, screen));
  int connection = ConnectionNumber(display);
  while (!g_stop) {
    // Wait for events with a short poll, so a stop signal is seen promptly.
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(connection, &readable);
    timeval wait{0, 200000};
    if (XPending(display) == 0) select(connection + 1, &readable, nullptr, nullptr, &wait);
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == ClientMessage &&
          static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
        g_stop = 1;
      } else if (event.type == PropertyNotify || event.type == Expose) {
        // Only ASCII shows in the core font; the rest prints to standard output.
        std::string title = CurrentTitle(display, window);
        XClearWindow(display, window);
        const char kBanner[] = "CrossFire stand-in (QQLogin.exe)";
        XDrawString(display, window, gc, 20, 40, kBanner, static_cast<int>(std::strlen(kBanner)));
        if (event.type == PropertyNotify) {
          std::printf("QQLogin stand-in: title now \"%s\"\n", title.c_str());
          std::fflush(stdout);
        }
      }
    }
  }
  XFreeGC(display, gc);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return 0;
}
