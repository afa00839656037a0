#include "test_desktop.h"

#include <windows.h>

#include <string>

namespace zeva::test {

bool EnterTestDesktop() {
  // One per process: a shell left from an earlier run may hold a display that is gone.
  static const HDESK desktop = [] {
    const std::wstring name = L"zeva-window-tests-" + std::to_wstring(::GetCurrentProcessId());
    return ::CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  }();
  return desktop && ::SetThreadDesktop(desktop);
}

}  // namespace zeva::test
