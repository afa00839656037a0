#include "test_desktop.h"

#include <windows.h>

#include <string>

namespace zeva::test {

std::wstring TestDesktopName() {
  return L"zeva-window-tests-" + std::to_wstring(::GetCurrentProcessId());
}

bool EnterTestDesktop() {
  // One per process: a shell left from an earlier run may hold a display that is gone.
  static const HDESK desktop = [] {
    return ::CreateDesktopW(TestDesktopName().c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  }();
  return desktop && ::SetThreadDesktop(desktop);
}

}  // namespace zeva::test
