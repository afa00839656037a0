// A tray manager in name only: owns the screen's tray selection, so clients see a tray, and
// embeds nothing. Runs until killed.
#include <X11/Xlib.h>

#include <cstdio>
#include <string>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  const int screen = DefaultScreen(display);
  const Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0, 0, 0);
  const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
  const Atom selection = XInternAtom(display, name.c_str(), False);
  XSetSelectionOwner(display, selection, window, CurrentTime);
  if (XGetSelectionOwner(display, selection) != window) return 1;
  std::puts("tray");
  std::fflush(stdout);
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
  }
}
