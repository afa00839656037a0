// The accelerator's download dialog on the Win32 port: the real window over a main-window
// stand-in, downloading from the test server through the URL moniker, looked at and answered
// from another thread as a player would: title, place, bar, the offer box with its renamed
// buttons, closing mid-download, a failed download. And the process check the installation
// step relies on, against a real process.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "download/accelerator.h"
#include "platform/unicode.h"
#include "ports/win32/wide.h"
#include "ports/win32/win32_dialog_factory.h"
#include "ports/win32/win32_system.h"
#include "res/resource_ids.h"
#include "support/temp_folder.h"
#include "support/test_blob.h"
#include "support/test_platform.h"
#include "test_desktop.h"
#include "window_probes.h"

namespace zeva::win32 {
namespace {

using test::TextOf;
using test::WaitForWindow;
using test::WaitUntil;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kDialogTitle[] = L"正在下载 迅雷加速器，请稍等";

// The real process check; programs are recorded, not run (the installer is a test blob).
class RecordingShell final : public IShell {
 public:
  std::vector<test::ShellCall> calls;  // read after the run
  bool Execute(const std::u16string& verb, const std::u16string& file,
               const std::u16string& parameters, const std::u16string& folder, int show) override {
    calls.push_back({verb, file, parameters, folder, show});
    return true;
  }
  bool IsProgramRunning(std::u16string_view name) override { return m_real.IsProgramRunning(name); }

 private:
  Win32Shell m_real;
};

// A visible message box owned by `owner`, or nothing.
HWND OwnedBox(HWND owner) {
  for (HWND box = nullptr; (box = ::FindWindowExW(nullptr, box, L"#32770", nullptr));) {
    if (box != owner && ::GetWindow(box, GW_OWNER) == owner && ::IsWindowVisible(box)) return box;
  }
  return nullptr;
}

// The box's buttons from left to right, as the player reads them.
std::vector<std::u16string> ButtonTexts(HWND box) {
  std::vector<std::u16string> texts;
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[16] = {};
    ::GetClassNameW(child, className, 16);
    if (::lstrcmpiW(className, L"Button") == 0 && ::IsWindowVisible(child)) {
      texts.push_back(TextOf(child));
    }
  }
  return texts;
}

void ClickButton(HWND box, const std::u16string& text) {
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (TextOf(child) == text) {
      ::SendMessageW(child, BM_CLICK, 0, 0);
      return;
    }
  }
  ADD_FAILURE() << "no button " << Utf16ToUtf8(text);
}

int BarPosition(HWND dialog) {
  return static_cast<int>(
      ::SendMessageW(::GetDlgItem(dialog, res::kDownloadProgress), PBM_GETPOS, 0, 0));
}

// What the screen shows in `area`, as a 32-bit BMP file (GDI text leaves alpha 0 there).
void SaveScreen(const RECT& area, const std::wstring& path) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  void* bits = nullptr;
  const HDC screen = ::GetDC(nullptr);
  const HDC memory = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  const DWORD size = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
  constexpr DWORD kHeaders = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  const BITMAPFILEHEADER header{0x4D42, kHeaders + size, 0, 0, kHeaders};
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, &header, sizeof header, &written, nullptr);
  ::WriteFile(file, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
  ::WriteFile(file, bits, size, &written, nullptr);
  ::CloseHandle(file);
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
}

class DownloadDialogPortTest : public ::testing::Test {
 protected:
  DownloadDialogPortTest() { m_owner = test::CreateMainWindowStandIn(); }
  ~DownloadDialogPortTest() override { ::DestroyWindow(m_owner); }
  void SetUp() override {
    if (!std::getenv("ZEVA_TEST_SERVER")) GTEST_SKIP() << "ZEVA_TEST_SERVER is not set";
  }

  // The page's request for the accelerator from `path` of the test server, on this thread,
  // while `player` acts on the download window from another. Whatever the player leaves
  // open is closed after it, so a fault shows as a failure rather than a hang.
  void Run(const std::string& path, const std::function<void(HWND dialog)>& player) {
    Accelerator accelerator(
        m_platform, m_factory, Utf8ToUtf16(std::getenv("ZEVA_TEST_SERVER") + path),
        [this] { return static_cast<WindowHandle>(reinterpret_cast<uintptr_t>(m_owner)); });
    std::thread user([&] {
      test::EnterTestDesktop();
      HWND dialog = WaitForWindow(L"#32770", kDialogTitle);
      if (dialog) {
        player(dialog);
      } else {
        ADD_FAILURE() << "no download window";
        dialog = OwnedBox(m_owner);
      }
      WaitUntil([&] {
        if (const HWND box = OwnedBox(dialog)) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        if (::IsWindowVisible(dialog)) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        return !::IsWindowVisible(dialog);
      });
    });
    accelerator.Run();
    m_ended = Clock::now();
    user.join();
    EXPECT_TRUE(::IsWindowEnabled(m_owner));
  }
  bool Exists(const std::u16string& path) { return m_test.files.GetAttributes(path).has_value(); }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  Win32WindowSystem m_windows;
  Win32Dialogs m_dialogs;
  RecordingShell m_shell;
  const Platform m_platform{m_test.files,    *m_test.codec,    m_test.adapters, m_test.instance,
                            m_windows,       m_test.registry,  m_dialogs,       m_shell,
                            m_test.toolkit,  m_test.autostart, m_test.login,    *m_test.downloader,
                            m_test.diskSpace};
  Win32DialogFactory m_factory;
  HWND m_owner = nullptr;
  Clock::time_point m_ended;
  const std::u16string m_installer = m_folder / u"Downloads\\jsq.exe";
};

TEST_F(DownloadDialogPortTest, TheBarRisesThenTheOfferBoxAsksWithRenamedButtons) {
  const size_t size = 300000;
  const uint32_t seed = 31;
  // Declined first: nothing runs, the installer stays; then offered at once and accepted.
  for (const char16_t* answer : {u"暂不安装", u"我要安装"}) {
    SCOPED_TRACE(Utf16ToUtf8(answer));
    const bool first = std::u16string(answer) == u"暂不安装";
    std::vector<int> positions;
    Run("/drip/" + test::BlobName(size, seed) + "?chunk=8192&ms=30", [&](HWND dialog) {
      EXPECT_EQ(::GetWindow(dialog, GW_OWNER), m_owner);
      EXPECT_FALSE(::IsWindowEnabled(m_owner));
      RECT place{};
      ::GetWindowRect(dialog, &place);
      EXPECT_LE(std::abs(place.left + place.right - 800), 1);  // centred over the stand-in
      EXPECT_LE(std::abs(place.top + place.bottom - 600), 1);
      PBRANGE range{};
      ::SendMessageW(::GetDlgItem(dialog, res::kDownloadProgress), PBM_GETRANGE, TRUE,
                     reinterpret_cast<LPARAM>(&range));
      EXPECT_EQ(range.iLow, 1);
      EXPECT_EQ(range.iHigh, 100);

      HWND box = nullptr;
      for (const Clock::time_point end = Clock::now() + std::chrono::seconds(30);
           !box && Clock::now() < end; ::Sleep(2)) {
        const int position = BarPosition(dialog);
        if (positions.empty() || positions.back() != position) positions.push_back(position);
        box = OwnedBox(dialog);
      }
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(TextOf(box), u"安装");
      EXPECT_EQ(TextOf(::GetDlgItem(box, 0xFFFF)), kAcceleratorOffer);
      EXPECT_EQ(ButtonTexts(box), (std::vector<std::u16string>{u"我要安装", u"暂不安装"}));
      EXPECT_EQ(BarPosition(dialog), first ? 100 : 1);  // 0 shows as the minimum
      if (const char* folder = std::getenv("ZEVA_SCREENSHOT_DIR"); folder && first) {
        RECT shown{}, boxPlace{};
        ::GetWindowRect(dialog, &shown);
        ::GetWindowRect(box, &boxPlace);
        ::UnionRect(&shown, &shown, &boxPlace);
        SaveScreen(shown, Wide(Utf8ToUtf16(folder)) + L"\\download_dialog_offer.bmp");
      }
      ClickButton(box, answer);
      EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(dialog); }));
    });
    EXPECT_EQ(test::ReadBytes(m_installer), test::MakeBlob(size, seed));
    EXPECT_FALSE(Exists(m_installer + u".part"));
    if (first) {
      // Rising through the transfer, in whole percents, to the end.
      ASSERT_GE(positions.size(), 3u);
      EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
      EXPECT_GT(
          std::count_if(positions.begin(), positions.end(), [](int p) { return p > 1 && p < 100; }),
          1);
      EXPECT_EQ(positions.back(), 100);
      EXPECT_TRUE(m_shell.calls.empty());
    } else {
      EXPECT_EQ(positions, std::vector<int>{1});  // no second download
      ASSERT_EQ(m_shell.calls.size(), 1u);
      EXPECT_EQ(m_shell.calls[0].file, m_installer);
      EXPECT_EQ(m_shell.calls[0].parameters, u"/S /D=" + m_folder.Path() + u"xunlei");
      EXPECT_EQ(m_shell.calls[0].show, SW_HIDE);
    }
  }
}

TEST_F(DownloadDialogPortTest, ClosingTheWindowMidDownloadCancelsIt) {
  // About 10 s of transfer; the window is closed once the bar has moved.
  const std::string slow = "/drip/" + test::BlobName(2'000'000, 32) + "?chunk=4096&ms=20";
  const struct {
    const char* how;
    UINT message;
    WPARAM wParam;
  } closes[] = {{"WM_CLOSE", WM_CLOSE, 0}, {"the caption's close", WM_SYSCOMMAND, SC_CLOSE}};
  for (const auto& close : closes) {
    SCOPED_TRACE(close.how);
    Clock::time_point closed;
    Run(slow, [&](HWND dialog) {
      ASSERT_TRUE(WaitUntil([&] { return BarPosition(dialog) > 1; }));
      closed = Clock::now();
      ::PostMessageW(dialog, close.message, close.wParam, 0);
      EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(dialog); }));
      EXPECT_EQ(OwnedBox(dialog), nullptr);
    });
    // The worker gave up and was joined long before the transfer would have ended.
    EXPECT_LT(m_ended - closed, std::chrono::seconds(4));
    EXPECT_FALSE(Exists(m_installer));
    EXPECT_FALSE(Exists(m_installer + u".part"));
  }
  EXPECT_TRUE(m_shell.calls.empty());
}

TEST_F(DownloadDialogPortTest, AFailedDownloadIsSaidAndTheWindowStaysOpen) {
  bool closedByPlayer = false;
  Run("/status/404", [&](HWND dialog) {
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = OwnedBox(dialog)) != nullptr; }));
    EXPECT_EQ(TextOf(box), u"ZEVA");
    EXPECT_EQ(TextOf(::GetDlgItem(box, 0xFFFF)), u"下载出错");
    // The application box carries the exclamation icon (control 20 on Windows, 1088 in Wine).
    HWND icon = ::GetDlgItem(box, 20);
    if (!icon) icon = ::GetDlgItem(box, 1088);
    ASSERT_TRUE(icon);
    EXPECT_TRUE(::IsWindowVisible(icon));
    EXPECT_TRUE(::SendMessageW(icon, STM_GETICON, 0, 0));
    ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
    ::Sleep(300);
    EXPECT_TRUE(::IsWindowVisible(dialog));
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    closedByPlayer = WaitUntil([&] { return !::IsWindowVisible(dialog); });
  });
  EXPECT_TRUE(closedByPlayer);
  EXPECT_FALSE(Exists(m_installer));
  EXPECT_FALSE(Exists(m_installer + u".part"));
  EXPECT_TRUE(m_shell.calls.empty());
}

TEST(Win32ShellTest, ARunningProgramIsFoundByItsExactNameUntilItEnds) {
  test::TempFolder folder;
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring program = Wide(folder / u"jsq.exe");
  ASSERT_TRUE(::CopyFileW(self, program.c_str(), FALSE));
  // Held before its first instruction: a process that stays until it is ended.
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + program + L"\"";
  ASSERT_TRUE(::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED, nullptr, nullptr, &startup, &process));
  Win32Shell shell;
  EXPECT_TRUE(shell.IsProgramRunning(u"jsq.exe"));
  EXPECT_FALSE(shell.IsProgramRunning(u"JSQ.exe"));
  EXPECT_FALSE(shell.IsProgramRunning(u"jsq"));
  ::TerminateProcess(process.hProcess, 0);
  ::WaitForSingleObject(process.hProcess, 10000);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  EXPECT_TRUE(WaitUntil([&] { return !shell.IsProgramRunning(u"jsq.exe"); }));
}

// A web page with no browser to show it is a failure the player hears of (the feedback page's
// box), not a silent success: Wine's handler, winebrowser, starts and gives up at once when
// none of its browsers exists (its list set here to one that cannot be found).
TEST(Win32ShellTest, AWebPageNothingCanShowIsAFailure) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", 0, nullptr, 0,
                              KEY_READ | KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  wchar_t saved[512] = {};
  DWORD savedSize = sizeof saved;
  const bool hadValue = ::RegQueryValueExW(key, L"Browsers", nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(saved), &savedSize) == 0;
  const wchar_t none[] = L"zeva-no-such-browser";
  ::RegSetValueExW(key, L"Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(none), sizeof none);
  Win32Shell shell;
  EXPECT_FALSE(shell.Execute(u"open", u"http://127.0.0.1:9/thread-6389501-1-1.html", u"", u"",
                             SW_SHOWNORMAL));
  if (hadValue) {
    ::RegSetValueExW(key, L"Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved), savedSize);
  } else {
    ::RegDeleteValueW(key, L"Browsers");
  }
  ::RegCloseKey(key);
}

}  // namespace
}  // namespace zeva::win32
