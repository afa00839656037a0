// What the browser control's tests share: OLE on the test's thread, a top-level window to
// hold the control, the core's dispatcher behind window.external, and a message pump.
#pragma once

#include <windows.h>
// After windows.h:
#include <ole2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "host/external_dispatcher.h"
#include "support/test_platform.h"

namespace zeva::test {

class BrowserFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    m_parent = ::CreateWindowExW(0, L"STATIC", L"ZEVA browser test", WS_OVERLAPPEDWINDOW, 0, 0, 800,
                                 600, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m_parent, nullptr) << "no display";
  }
  void TearDown() override {
    if (::IsWindow(m_parent)) ::DestroyWindow(m_parent);
    ::OleUninitialize();
  }

  // Runs the thread's messages until `done` holds; false when it has not after a long
  // while (a guard against hanging, not a measure).
  static bool PumpUntil(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (std::chrono::steady_clock::now() > giveUp) return false;
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  HWND m_parent = nullptr;
  TestPlatform m_test;
  PageRegistration m_page;
  ExternalDispatcher m_dispatcher{m_test.platform, m_page, ScriptHostLinks{}};
};

}  // namespace zeva::test
