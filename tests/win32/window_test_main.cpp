// The window tests' program: on a desktop of its own, with common controls and GDI+ up for
// every test, as the client's start brings them up.
#include <gtest/gtest.h>

#include "ports/win32/win32_system.h"
#include "test_desktop.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!zeva::test::EnterTestDesktop()) return 2;
  zeva::win32::Win32Toolkit toolkit;
  if (!toolkit.Start()) return 2;
  const int result = RUN_ALL_TESTS();
  toolkit.Stop();
  return result;
}
