// The real ZEVA.exe as a player runs it: started from its own folder (where its config.ini
// lives), found by its title, driven by window messages from outside.
#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/temp_folder.h"
#include "test_desktop.h"

namespace zeva {
namespace {

constexpr wchar_t kTitle[] = L"KIVO穿越火线泽瓦助手";
constexpr UINT kTrayNotify = 2025;
constexpr UINT kTrayIcon = 128;

// Polls `done` for up to 20 s, pumping this thread's messages.
template <typename Done>
bool WaitFor(Done done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < until) {
    if (done()) return true;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

struct TitleCount {
  const wchar_t* title;
  int found = 0;
};

BOOL CALLBACK CountIfTitled(HWND window, LPARAM data) {
  auto* count = reinterpret_cast<TitleCount*>(data);
  wchar_t text[64] = {};
  ::GetWindowTextW(window, text, 64);
  if (std::wstring(text) == count->title) ++count->found;
  return TRUE;
}

int CountWindowsTitled(const wchar_t* title) {
  TitleCount count{title};
  ::EnumWindows(&CountIfTitled, reinterpret_cast<LPARAM>(&count));
  return count.found;
}

// Whether the shell still holds the client's tray icon: modifying an icon that is not
// there fails.
bool HasTrayIcon(HWND window) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = kTrayIcon;
  data.uFlags = NIF_TIP;
  ::lstrcpyW(data.szTip, L"KIVO泽瓦助手");
  return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

// A box of the client's, found by its caption; answered with `button`.
bool AnswerBox(const wchar_t* caption, int button) {
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = ::FindWindowW(L"#32770", caption)) != nullptr; })) {
    return false;
  }
  ::PostMessageW(box, WM_COMMAND, button, 0);
  return true;
}

class ClientProcess {
 public:
  explicit ClientProcess(const std::string& config = {}) {
    std::filesystem::copy_file(ZEVA_CLIENT_EXE, m_folder.Native() / "ZEVA.exe");
    if (!config.empty()) test::WriteBytes(m_folder / u"config.ini", config);
  }
  ~ClientProcess() {
    for (PROCESS_INFORMATION& p : m_processes) {
      if (::WaitForSingleObject(p.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(p.hProcess, 9);
      ::WaitForSingleObject(p.hProcess, 5000);
      ::CloseHandle(p.hProcess);
      ::CloseHandle(p.hThread);
    }
  }

  // Starts another copy from the folder; its index.
  size_t Start() {
    const std::wstring exe = (m_folder.Native() / "ZEVA.exe").wstring();
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // On this run's desktop, where its windows can be found.
    std::wstring desktop = test::TestDesktopName();
    startup.lpDesktop = desktop.data();
    PROCESS_INFORMATION process{};
    EXPECT_TRUE(::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, m_folder.Native().wstring().c_str(), &startup, &process));
    m_processes.push_back(process);
    return m_processes.size() - 1;
  }
  // The window once its initialisation has added the tray icon (the title comes earlier).
  HWND Window() {
    HWND window = nullptr;
    WaitFor([&] { return (window = ::FindWindowW(nullptr, kTitle)) != nullptr; });
    if (window) WaitFor([&] { return HasTrayIcon(window); });
    return window;
  }
  // The exit code once the copy has ended; -1 while it runs after 20 s.
  int ExitCode(size_t index) {
    if (::WaitForSingleObject(m_processes[index].hProcess, 20000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(m_processes[index].hProcess, &code);
    return static_cast<int>(code);
  }
  bool Running(size_t index) {
    return ::WaitForSingleObject(m_processes[index].hProcess, 0) == WAIT_TIMEOUT;
  }

 private:
  test::TempFolder m_folder;
  std::vector<PROCESS_INFORMATION> m_processes;
};

TEST(ClientProcessTest, TheSkinnedWindowComesUpOnceAtTheCorner) {
  ClientProcess client;
  const size_t first = client.Start();
  const HWND window = client.Window();
  ASSERT_NE(window, nullptr);
  RECT place{};
  ::GetWindowRect(window, &place);
  EXPECT_EQ(place.left, 0);
  EXPECT_EQ(place.top, 0);
  EXPECT_EQ(place.right - place.left, 800);
  EXPECT_EQ(place.bottom - place.top, 600);
  const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_NE(style & WS_MINIMIZEBOX, 0);
  EXPECT_TRUE(HasTrayIcon(window));

  // The top 30 pixels drag the window; the background just below them does not.
  EXPECT_EQ(::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(400, 25)), HTCAPTION);
  EXPECT_EQ(::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(400, 31)), HTCLIENT);

  // The skin is drawn: the title strip is not the default dialog colour.
  HDC screen = ::GetDC(nullptr);
  const COLORREF strip = ::GetPixel(screen, 400, 16);
  ::ReleaseDC(nullptr, screen);
  EXPECT_NE(strip, ::GetSysColor(COLOR_BTNFACE));
  EXPECT_NE(strip, CLR_INVALID);

  // A second copy hands over to the first and ends at once.
  const size_t second = client.Start();
  EXPECT_EQ(client.ExitCode(second), 0);
  EXPECT_EQ(CountWindowsTitled(kTitle), 1);
  EXPECT_TRUE(client.Running(first));

  // Enter (IDOK) never ends the client; Escape (IDCANCEL) does, and takes the icon along.
  ::SendMessageW(window, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(client.Running(first));
  ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(client.ExitCode(first), 0);
  EXPECT_FALSE(HasTrayIcon(window));
}

TEST(ClientProcessTest, CloseFollowsEachExitSetting) {
  {  // "1": to the tray, and the tray's click brings it back.
    ClientProcess client("[system]\r\nexit=1\r\n");
    const size_t index = client.Start();
    const HWND window = client.Window();
    ASSERT_NE(window, nullptr);
    ::SendMessageW(window, WM_COMMAND, 1000, 0);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_TRUE(client.Running(index));
    ::SendMessageW(window, kTrayNotify, kTrayIcon, WM_LBUTTONDOWN);
    EXPECT_TRUE(::IsWindowVisible(window));
    ::PostMessageW(window, WM_COMMAND, 32783, 0);  // the tray menu's exit
    EXPECT_EQ(client.ExitCode(index), 0);
  }
  {  // "2": ends at once, without its icon.
    ClientProcess client("[system]\r\nexit=2\r\n");
    const size_t index = client.Start();
    const HWND window = client.Window();
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_COMMAND, 1000, 0);
    EXPECT_EQ(client.ExitCode(index), 0);
    EXPECT_FALSE(HasTrayIcon(window));
  }
  {  // Nothing set: the client asks; Cancel keeps it, Yes ends it.
    ClientProcess client;
    const size_t index = client.Start();
    const HWND window = client.Window();
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_COMMAND, 1000, 0);
    ASSERT_TRUE(AnswerBox(L"关闭", IDCANCEL));
    EXPECT_TRUE(WaitFor([&] { return ::FindWindowW(L"#32770", L"关闭") == nullptr; }));
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE(client.Running(index));
    ::PostMessageW(window, WM_COMMAND, 1000, 0);
    ASSERT_TRUE(AnswerBox(L"关闭", IDYES));
    EXPECT_EQ(client.ExitCode(index), 0);
  }
}

}  // namespace
}  // namespace zeva
