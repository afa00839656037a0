// What the settings window reaches on Windows: the Run value it writes and removes, the
// retitling of the game's window by the window-mode watcher, and the window itself on the
// template dialog, driven from another thread as a user would drive it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "game/client_autostart.h"
#include "game/profile.h"
#include "game/settings_dialog.h"
#include "game/window_mode_watcher.h"
#include "platform/path_style.h"
#include "ports/win32/wide.h"
#include "ports/win32/win32_dialog_factory.h"
#include "ports/win32/win32_system.h"
#include "res/resource_ids.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "test_desktop.h"
#include "window_probes.h"

namespace zeva::win32 {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"ZEVA";

WindowHandle Handle(HWND window) {
  return static_cast<WindowHandle>(reinterpret_cast<uintptr_t>(window));
}

struct RegistryValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

std::optional<RegistryValue> ReadRaw(const wchar_t* name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegistryValue value;
  DWORD size = 0;
  LONG status = ::RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    value.bytes.resize(size);
    status = ::RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &size);
    value.bytes.resize(size);
  }
  ::RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return value;
}

void WriteRaw(const wchar_t* name, const RegistryValue& value) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key, name, 0, value.type, value.bytes.data(),
                   static_cast<DWORD>(value.bytes.size()));
  ::RegCloseKey(key);
}

void DeleteRaw(const wchar_t* name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  ::RegDeleteValueW(key, name);
  ::RegCloseKey(key);
}

// The Run value as the session start reads it: a REG_SZ holding one string.
std::optional<std::u16string> RunCommand(const wchar_t* name = kRunValue) {
  const std::optional<RegistryValue> value = ReadRaw(name);
  if (!value) return std::nullopt;
  if (value->type != REG_SZ) return u"<type " + FromWide(std::to_wstring(value->type)) + u">";
  const size_t count = value->bytes.size() / sizeof(wchar_t);
  std::wstring text(count, L'\0');
  std::memcpy(text.data(), value->bytes.data(), count * sizeof(wchar_t));
  if (value->bytes.size() % sizeof(wchar_t) != 0 || text.empty() || text.back() != L'\0' ||
      text.find(L'\0') != count - 1) {
    return u"<badly terminated>";
  }
  text.pop_back();
  return FromWide(text);
}

// Puts the user's own Run value back as it was (this prefix may be someone's), and starts
// each test without one.
class RunValueKeeper {
 public:
  RunValueKeeper() : m_saved(ReadRaw(kRunValue)) { DeleteRaw(kRunValue); }
  ~RunValueKeeper() {
    if (m_saved) {
      WriteRaw(kRunValue, *m_saved);
    } else {
      DeleteRaw(kRunValue);
    }
  }
  RunValueKeeper(const RunValueKeeper&) = delete;
  RunValueKeeper& operator=(const RunValueKeeper&) = delete;

 private:
  std::optional<RegistryValue> m_saved;
};

TEST(Win32AutostartTest, TheRunValueIsSetReplacedAndDeleted) {
  RunValueKeeper keeper;
  constexpr wchar_t kNeighbour[] = L"ZevaTestNeighbour";
  const wchar_t neighbour[] = L"C:\\other.exe";
  const auto* bytes = reinterpret_cast<const BYTE*>(neighbour);
  WriteRaw(kNeighbour, {REG_SZ, std::vector<BYTE>(bytes, bytes + sizeof neighbour)});
  Win32Autostart autostart;
  // Each one replaces the one before it.
  const std::u16string programs[] = {
      u"C:\\ZEVA\\ZEVA.exe",
      u"D:\\Program Files (x86)\\泽瓦助手\\ZEVA.exe",
      u"E:\\" + std::u16string(200, u'穿') + u"\\ZEVA.exe",
      u"C:\\Z\\ZEVA.exe",
  };
  for (const std::u16string& program : programs) {
    SCOPED_TRACE(program.size());
    EXPECT_TRUE(autostart.Register({u"ZEVA", u"KIVO泽瓦助手", program}));
    EXPECT_EQ(RunCommand(), program);
  }

  EXPECT_TRUE(autostart.Unregister(u"ZEVA"));
  EXPECT_FALSE(RunCommand());
  EXPECT_TRUE(autostart.Unregister(u"ZEVA"));  // nothing left to delete is no failure
  EXPECT_FALSE(RunCommand());
  EXPECT_EQ(RunCommand(kNeighbour), u"C:\\other.exe");
  DeleteRaw(kNeighbour);
}

TEST(Win32AutostartTest, TheClientEntryNamesTheProgramInTheClientFolder) {
  RunValueKeeper keeper;
  test::TempFolder folder;
  test::TestPlatform test(folder.Path());
  Win32Autostart autostart;
  const Platform platform{test.files,    *test.codec,   test.adapters, test.instance,
                          test.windows,  test.registry, test.dialogs,  test.shell,
                          test.toolkit,  autostart,     test.login,    *test.downloader,
                          test.diskSpace};
  EXPECT_TRUE(SetClientAutostart(platform, true));
  EXPECT_EQ(RunCommand(), folder.Path() + u"ZEVA.exe");
  EXPECT_TRUE(SetClientAutostart(platform, false));
  EXPECT_FALSE(RunCommand());
}

// How a window of the other thread answers WM_SETTEXT.
enum class TitleAnswer : LONG_PTR { kAccept, kRefuse, kHang };

HANDLE HangRelease() {
  static const HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return release;
}

LRESULT CALLBACK ForeignWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT) {
    switch (static_cast<TitleAnswer>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
      case TitleAnswer::kAccept:
        break;
      case TitleAnswer::kRefuse:
        return FALSE;
      case TitleAnswer::kHang:
        // Held until the test lets go; the sender's text is gone by then, so it is not read.
        ::WaitForSingleObject(HangRelease(), INFINITE);
        return FALSE;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// Top-level windows of another thread (as a game's would be), each answering as told; they
// are made on request, so a watcher can be waiting before they appear.
class ForeignWindows {
 public:
  ForeignWindows() {
    ::ResetEvent(HangRelease());
    std::promise<DWORD> started;
    std::future<DWORD> id = started.get_future();
    m_thread = std::thread([&started] {
      test::EnterTestDesktop();
      MSG message;
      ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue, before anyone posts
      started.set_value(::GetCurrentThreadId());
      while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == kCreate) {
          auto* request = reinterpret_cast<Request*>(message.lParam);
          request->done.set_value(Create(request->title, request->answer));
          continue;
        }
        ::DispatchMessageW(&message);
      }
    });
    m_threadId = id.get();
  }
  ~ForeignWindows() {
    ReleaseHeld();
    ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    m_thread.join();
  }
  ForeignWindows(const ForeignWindows&) = delete;
  ForeignWindows& operator=(const ForeignWindows&) = delete;

  // Lets a held window answer; windows held later answer at once.
  void ReleaseHeld() { ::SetEvent(HangRelease()); }

  HWND Open(const wchar_t* title, TitleAnswer answer = TitleAnswer::kAccept) {
    Request request{title, answer, {}};
    std::future<HWND> window = request.done.get_future();
    ::PostThreadMessageW(m_threadId, kCreate, 0, reinterpret_cast<LPARAM>(&request));
    return window.get();
  }

 private:
  static constexpr UINT kCreate = WM_APP + 7;
  struct Request {
    const wchar_t* title;
    TitleAnswer answer;
    std::promise<HWND> done;
  };

  static HWND Create(const wchar_t* title, TitleAnswer answer) {
    static const ATOM kClass = [] {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = &ForeignWindowProc;
      windowClass.hInstance = ::GetModuleHandleW(nullptr);
      windowClass.lpszClassName = L"ZevaForeignWindow";
      return ::RegisterClassW(&windowClass);
    }();
    const HWND window =
        ::CreateWindowExW(0, MAKEINTATOM(kClass), title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 400,
                          200, 120, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(answer));
    return window;
  }

  std::thread m_thread;
  DWORD m_threadId = 0;
};

// The title as the system holds it, without asking the window (which may be held).
std::u16string TitleOf(HWND window) {
  wchar_t text[256] = {};
  ::InternalGetWindowText(window, text, 256);
  return FromWide(text);
}

TEST(Win32WindowTitleTest, SetWindowTitleReportsWhetherTheWindowTookIt) {
  ForeignWindows foreign;
  Win32WindowSystem windows;
  struct Case {
    const char* name;
    TitleAnswer answer;
    bool taken;
  };
  // A held window is given up after the time-out; the caller is never held with it.
  const Case cases[] = {
      {"accepts", TitleAnswer::kAccept, true},
      {"refuses", TitleAnswer::kRefuse, false},
      {"hangs", TitleAnswer::kHang, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HWND window = foreign.Open(L"crossfire", c.answer);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windows.SetWindowTitle(Handle(window), kWindowModeTitle), c.taken);
    if (c.answer == TitleAnswer::kHang) foreign.ReleaseHeld();
    EXPECT_EQ(TitleOf(window), c.taken ? kWindowModeTitle : u"crossfire");
    ::PostMessageW(window, WM_CLOSE, 0, 0);  // DefWindowProc destroys it on its own thread
  }
  EXPECT_FALSE(windows.SetWindowTitle(0, u"x"));
  // A window that is gone.
  const HWND closed = foreign.Open(L"closed");
  ::SendMessageW(closed, WM_CLOSE, 0, 0);
  EXPECT_FALSE(windows.SetWindowTitle(Handle(closed), u"x"));
}

// The real window system, entered on the run's desktop by whichever thread uses it: the
// watcher's own thread searches where the test's windows are, as the client's searches its
// session's desktop.
class TestDesktopWindows final : public IWindowSystem {
 public:
  WindowHandle FindTopLevelWindow(std::u16string_view title) override {
    test::EnterTestDesktop();
    return m_real.FindTopLevelWindow(title);
  }
  bool SetForeground(WindowHandle window) override { return m_real.SetForeground(window); }
  intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) override {
    return m_real.SendWindowMessage(window, message, wParam, lParam);
  }
  bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override {
    return m_real.PostWindowMessage(window, message, wParam, lParam);
  }
  int SetShowState(WindowHandle window, int command) override {
    return m_real.SetShowState(window, command);
  }
  bool IsMaximized(WindowHandle window) override { return m_real.IsMaximized(window); }
  WindowHandle ActiveWindow() override { return m_real.ActiveWindow(); }
  bool SetWindowTitle(WindowHandle window, std::u16string_view title) override {
    ++titleChanges;
    return m_real.SetWindowTitle(window, title);
  }
  std::atomic<int> titleChanges = 0;

 private:
  Win32WindowSystem m_real;
};

// Waits for `done` (a guard against a hang, no measure of speed).
template <typename Done>
bool WaitFor(Done done) {
  for (int turn = 0; turn < 6000 && !done(); ++turn) ::Sleep(5);
  return done();
}

TEST(Win32WindowTitleTest, TheWatcherRetitlesOnlyTheGameWindow) {
  for (const bool openBeforeStart : {true, false}) {
    SCOPED_TRACE(openBeforeStart ? "open before the watcher starts" : "opened while it waits");
    ForeignWindows foreign;
    TestDesktopWindows windows;
    std::atomic<bool> busy{true};
    WindowModeWatcher watcher(windows, busy, std::chrono::milliseconds(20));
    HWND launcher = nullptr, game = nullptr;
    auto open = [&] {
      launcher = foreign.Open(L"crossfire launcher");
      game = foreign.Open(L"crossfire");
    };
    if (openBeforeStart) open();
    watcher.Start();
    if (!openBeforeStart) {
      EXPECT_TRUE(busy);
      open();
    }
    EXPECT_TRUE(WaitFor([&] { return !busy; }));
    watcher.Stop();

    EXPECT_EQ(TitleOf(game), kWindowModeTitle);
    EXPECT_EQ(TitleOf(launcher), u"crossfire launcher");
    EXPECT_EQ(windows.titleChanges, 1);
    EXPECT_EQ(::FindWindowW(nullptr, L"crossfire"), nullptr);
    EXPECT_EQ(::FindWindowW(nullptr, Wide(kWindowModeTitle).c_str()), game);
  }
}

// A visible top-level window of another thread, as it appears.
HWND WaitForWindow(const wchar_t* className, const wchar_t* title) {
  HWND found = nullptr;
  WaitFor([&] {
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, className, title));) {
      if (::IsWindowVisible(window)) return (found = window) != nullptr;
    }
    return false;
  });
  return found;
}

HWND Control(HWND window, int id) {
  return ::GetDlgItem(window, id);
}

std::u16string ControlText(HWND window, int id) {
  wchar_t text[1024] = {};
  ::GetWindowTextW(Control(window, id), text, 1024);
  return FromWide(text);
}

bool Checked(HWND window, int id) {
  return ::SendMessageW(Control(window, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// What the user does in the open settings window, from a thread of its own.
struct UserActions {
  std::u16string officialFolder, testFolder;  // typed over what is shown
  std::vector<int> clicks;                    // option buttons clicked, in order
  bool autostart = false;                     // the check box's state, set directly
  int button = kIdOk;                         // how the window is left
};

// What that thread saw.
struct UserSight {
  bool found = false;
  bool ownerEnabled = true;
  HWND owner = nullptr;
  std::u16string officialFolder, testFolder;
  std::vector<int> checked;  // option buttons shown checked on opening
  std::vector<std::u16string> boxes;
};

constexpr int kOptions[] = {
    res::kServerOfficialRadio, res::kServerTestRadio,    res::kWindowModeOnRadio,
    res::kWindowModeOffRadio,  res::kWindowModeAskRadio, res::kUpdateAutoRadio,
    res::kUpdateAskRadio,      res::kExitHideRadio,      res::kExitQuitRadio,
    res::kExitAskRadio,        res::kAutostartCheck};

void ActIn(HWND owner, const UserActions& actions, UserSight& sight) {
  test::EnterTestDesktop();
  const HWND window = WaitForWindow(L"#32770", L"游戏设置");
  if (!window) return;
  sight.found = true;
  sight.owner = ::GetWindow(window, GW_OWNER);
  sight.ownerEnabled = ::IsWindowEnabled(owner) != FALSE;
  sight.officialFolder = ControlText(window, res::kOfficialFolderEdit);
  sight.testFolder = ControlText(window, res::kTestFolderEdit);
  for (int id : kOptions) {
    if (Checked(window, id)) sight.checked.push_back(id);
  }

  const std::wstring official = Wide(actions.officialFolder);
  const std::wstring test = Wide(actions.testFolder);
  ::SendMessageW(Control(window, res::kOfficialFolderEdit), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(official.c_str()));
  ::SendMessageW(Control(window, res::kTestFolderEdit), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(test.c_str()));
  for (int id : actions.clicks) ::SendMessageW(Control(window, id), BM_CLICK, 0, 0);
  ::SendMessageW(Control(window, res::kAutostartCheck), BM_SETCHECK,
                 actions.autostart ? BST_CHECKED : BST_UNCHECKED, 0);
  ::SendMessageW(Control(window, actions.button), BM_CLICK, 0, 0);

  // Until the window is gone, answer any box it raises (and remember it), so a fault shows
  // as a failure rather than a run that never ends.
  WaitFor([&] {
    if (!::IsWindow(window)) return true;
    for (HWND box = nullptr; (box = ::FindWindowExW(nullptr, box, L"#32770", nullptr));) {
      if (box == window || ::GetWindow(box, GW_OWNER) != window) continue;
      wchar_t text[512] = {};
      ::GetWindowTextW(::GetDlgItem(box, 0xFFFF), text, 512);
      sight.boxes.push_back(FromWide(text));
      ::SendMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return false;
  });
}

class SettingsWindowTest : public ::testing::Test {
 protected:
  SettingsWindowTest() { m_owner = test::CreateMainWindowStandIn(); }
  ~SettingsWindowTest() override { ::DestroyWindow(m_owner); }

  // Opens the settings window over the stand-in; `actions` are carried out while it is open.
  int Run(const UserActions& actions, UserSight& sight) {
    CDialogSet settings(m_platform, m_factory);
    std::thread user([&] { ActIn(m_owner, actions, sight); });
    const int result = settings.DoModal(Handle(m_owner));
    user.join();
    EXPECT_TRUE(sight.found);
    EXPECT_EQ(sight.owner, m_owner);
    EXPECT_FALSE(sight.ownerEnabled);  // modal over it
    EXPECT_TRUE(::IsWindowEnabled(m_owner));
    EXPECT_EQ(sight.boxes, std::vector<std::u16string>{});
    return result;
  }
  std::u16string Config() const { return m_folder / u"config.ini"; }
  std::u16string Stored(std::u16string_view section, std::u16string_view key) {
    return ProfileGetString(m_platform, section, key, u"<none>", 8192, Config());
  }

  RunValueKeeper m_keeper;  // first made, last gone
  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  Win32Autostart m_autostart;
  Win32WindowSystem m_windows;
  Win32Dialogs m_dialogs;
  const Platform m_platform{m_test.files,    *m_test.codec,   m_test.adapters, m_test.instance,
                            m_windows,       m_test.registry, m_dialogs,       m_test.shell,
                            m_test.toolkit,  m_autostart,     m_test.login,    *m_test.downloader,
                            m_test.diskSpace};
  Win32DialogFactory m_factory;
  HWND m_owner = nullptr;
};

TEST_F(SettingsWindowTest, OkStoresWhatWasChosenAndSetsTheRunValue) {
  const std::u16string game = m_folder / u"穿越火线";
  ASSERT_TRUE(m_test.files.CreateFolder(game));
  for (const char16_t* name : {u"QQLogin.exe", u"hook.dll", u"dbghelp.dll", u"Msimg32.dll"}) {
    test::WriteBytes(game + kPathSeparator + name, "MZ");
  }
  const std::u16string testGame = u"E:\\Games\\穿越火线体验服";
  UserSight first;
  EXPECT_EQ(Run({game,
                 testGame,
                 {res::kServerTestRadio, res::kWindowModeOffRadio, res::kUpdateAutoRadio,
                  res::kExitQuitRadio},
                 true,
                 kIdOk},
                first),
            kIdOk);
  EXPECT_EQ(first.officialFolder, u"");
  EXPECT_EQ(first.checked, (std::vector<int>{res::kServerOfficialRadio, res::kWindowModeAskRadio,
                                             res::kUpdateAskRadio, res::kExitAskRadio}));

  std::vector<std::u16string> options;
  for (const char16_t* key : {u"run", u"wnd", u"autoupdate", u"exit", u"autostart"}) {
    options.push_back(Stored(u"system", key));
  }
  EXPECT_EQ(options, (std::vector<std::u16string>{u"1", u"0", u"1", u"2", u"1"}));
  EXPECT_EQ(RunCommand(), m_folder.Path() + u"ZEVA.exe");
  // Window mode off takes the hook files out of the game folder; the launcher stays.
  EXPECT_FALSE(m_test.files.GetAttributes(game + kPathSeparator + u"hook.dll"));
  EXPECT_TRUE(m_test.files.GetAttributes(game + kPathSeparator + u"QQLogin.exe"));

  // Opened again it shows what was stored; with the box cleared the Run value goes.
  UserSight second;
  EXPECT_EQ(Run({game, testGame, {}, false, kIdOk}, second), kIdOk);
  EXPECT_EQ(second.officialFolder, game);
  EXPECT_EQ(second.testFolder, testGame);
  EXPECT_EQ(second.checked,
            (std::vector<int>{res::kServerTestRadio, res::kWindowModeOffRadio,
                              res::kUpdateAutoRadio, res::kExitQuitRadio, res::kAutostartCheck}));
  EXPECT_EQ(Stored(u"system", u"autostart"), u"0");
  EXPECT_EQ(Stored(u"system", u"run"), u"1");
  EXPECT_FALSE(RunCommand());
}

TEST_F(SettingsWindowTest, CancelAndTheCloseButtonStoreNothing) {
  ASSERT_TRUE(ProfileSetString(m_platform, u"system", u"exit", u"1", Config()));
  const std::string before = test::ReadBytes(Config());
  for (const int button : {static_cast<int>(kIdCancel), res::kDialogCloseButton}) {
    SCOPED_TRACE(button);
    UserSight sight;
    EXPECT_EQ(Run({u"C:\\elsewhere",
                   u"D:\\elsewhere",
                   {res::kServerTestRadio, res::kWindowModeOnRadio, res::kExitQuitRadio},
                   true,
                   button},
                  sight),
              kIdCancel);
    EXPECT_EQ(test::ReadBytes(Config()), before);
    EXPECT_FALSE(RunCommand());
  }
}

}  // namespace
}  // namespace zeva::win32
