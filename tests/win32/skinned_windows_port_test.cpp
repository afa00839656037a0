// The about and update-log windows on the Win32 port, in the client as ZEVA.exe composes it:
// opened from the main window's help and tray menus, then looked at and ended by messages
// from another thread, as a player would: place, frame, face, texts, buttons, drag band, and
// the update-log window's own page.
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/about_dialog.h"
#include "app/client.h"
#include "app/zeva_app.h"
#include "platform/http.h"
#include "ports/win32/html_ctrl.h"
#include "ports/win32/wide.h"
#include "ports/win32/win32_dialog_factory.h"
#include "ports/win32/win32_skin.h"
#include "ports/win32/win32_system.h"
#include "res/resource_ids.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "test_desktop.h"
#include "ui/window_messages.h"
#include "window_probes.h"
#include "zeva/endpoints.h"

namespace zeva::win32 {
namespace {

using test::DifferingPixels;
using test::RectInParent;
using test::TextOf;
using test::WaitForWindow;
using test::WaitUntil;

constexpr char16_t kToolServer[] = u"http://127.0.0.1:1";

// A browser control the client had made, and what it was asked.
struct BrowserRecord {
  HWND parent = nullptr;
  RECT place{};
  BrowserSite site;
  DWORD hostFlags = 0;  // what the control tells the browser about the pages it shows
  std::vector<std::u16string> urls;
};

// The port's real control, recorded.
class RecordedBrowser final : public IWin32Browser {
 public:
  RecordedBrowser(std::unique_ptr<IWin32Browser> real, BrowserRecord& record)
      : m_real(std::move(real)), m_record(record) {}
  HWND Window() const override { return m_real->Window(); }
  void Navigate(const std::u16string& url) override {
    m_record.urls.push_back(url);
    m_real->Navigate(url);
  }
  bool PreTranslateMessage(MSG* message) override { return m_real->PreTranslateMessage(message); }

 private:
  std::unique_ptr<IWin32Browser> m_real;
  BrowserRecord& m_record;
};

bool SameRect(const RECT& a, const RECT& b) {
  return ::EqualRect(&a, &b) != FALSE;
}

// A skinned window as the player sees it over the main window at (0, 0), 800 x 600.
struct SkinnedWindow {
  const wchar_t* title;
  RECT place;  // on the screen: centred over the main window
  int background;
};

const SkinnedWindow kAbout{L"关于我们", {225, 225, 575, 375}, res::kPngAboutBackground};
const SkinnedWindow kUpdateLog{L"更新日志", {207, 170, 592, 430}, res::kPngUpdateLogBackground};

// Posts `message` to the main window and picks the item `downs` steps down its menu.
void ChooseFromMenu(HWND main, UINT message, WPARAM wParam, LPARAM lParam, int downs) {
  ::PostMessageW(main, message, wParam, lParam);
  const HWND menu = WaitForWindow(L"#32768", nullptr);
  ASSERT_NE(menu, nullptr);
  for (int i = 0; i < downs; ++i) ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
}

// What every skinned window shows once it is open over the main window.
void ExpectSkinnedFrame(HWND main, HWND window, const SkinnedWindow& expected) {
  EXPECT_EQ(::GetWindow(window, GW_OWNER), main);
  EXPECT_FALSE(::IsWindowEnabled(main));  // modal: the help button takes no clicks meanwhile
  RECT place{}, client{};
  ::GetWindowRect(window, &place);
  ::GetClientRect(window, &client);
  EXPECT_TRUE(SameRect(place, expected.place));
  const int width = place.right - place.left, height = place.bottom - place.top;
  EXPECT_EQ(client.right, width);  // no frame: the face starts at the window's corner
  EXPECT_EQ(client.bottom, height);
  EXPECT_EQ(::GetWindowLongW(window, GWL_STYLE) & WS_CAPTION, 0);
  EXPECT_EQ(TextOf(::GetDlgItem(window, res::kTitleLabel)), FromWide(expected.title));

  // The face along the drag band, between the title and the close button.
  const auto face = SkinPicture::Load(expected.background);
  ASSERT_TRUE(face);
  EXPECT_EQ(face->Width(), width);
  EXPECT_EQ(face->Height(), height);
  EXPECT_TRUE(WaitUntil(
      [&] { return DifferingPixels(window, 75, 0, *face, 75, 0, width - 110, 28) == 0; }));

  const HWND close = ::GetDlgItem(window, res::kDialogCloseButton);
  const auto cross = SkinPicture::Load(res::kPngClose);
  ASSERT_TRUE(cross);
  EXPECT_TRUE(SameRect(RectInParent(close), RECT{width - 27, 8, width - 12, 23}));
  EXPECT_TRUE(WaitUntil([&] { return DifferingPixels(close, 0, 0, *cross, 0, 0, 15, 15) == 0; }));

  // The band's last row drags the window; the row below it is the window's own.
  const int middle = place.left + width / 2;
  EXPECT_EQ(::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(middle, place.top + 27)), HTCAPTION);
  EXPECT_EQ(::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(middle, place.top + 28)), HTCLIENT);
}

// The about text: three lines that fit the label in its own font, in the text colour; the
// OK button shows its strip.
void ExpectAboutFace(HWND window) {
  const HWND label = ::GetDlgItem(window, res::kAboutText);
  EXPECT_EQ(TextOf(label), AboutText());
  RECT area{};
  ::GetClientRect(label, &area);
  const HDC dc = ::GetDC(label);
  const HGDIOBJ oldFont =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  const std::wstring text = Wide(AboutText());
  RECT needed{0, 0, area.right, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  EXPECT_EQ(needed.bottom, 3 * metrics.tmHeight);  // no line wraps
  EXPECT_LE(needed.bottom, area.bottom);
  ::SelectObject(dc, oldFont);
  const auto inkPixels = [&] {
    int ink = 0;
    for (int y = 0; y < area.bottom; ++y) {
      for (int x = 0; x < area.right; ++x) ink += ::GetPixel(dc, x, y) == RGB(14, 78, 129);
    }
    return ink;
  };
  // Smoothed glyphs: only the strokes' cores are the colour itself.
  EXPECT_TRUE(WaitUntil([&] { return inkPixels() > 20; }));
  ::ReleaseDC(label, dc);

  const HWND ok = ::GetDlgItem(window, kIdOk);
  const auto strip = SkinPicture::Load(res::kPngOk);
  ASSERT_TRUE(strip);
  EXPECT_TRUE(SameRect(RectInParent(ok), RECT{145, 115, 206, 136}));
  EXPECT_TRUE(WaitUntil([&] { return DifferingPixels(ok, 0, 0, *strip, 0, 0, 61, 21) == 0; }));
}

// The update list's page: the real control in its place, filled by the browser's window.
void ExpectUpdateLogPage(HWND window) {
  const HWND page = ::GetDlgItem(window, res::kBrowserArea);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(SameRect(RectInParent(page), RECT{2, 30, 383, 257}));
  EXPECT_TRUE(::IsWindowVisible(page));
  const HWND browser = ::GetWindow(page, GW_CHILD);
  ASSERT_NE(browser, nullptr);
  RECT inner{};
  ::GetClientRect(browser, &inner);
  EXPECT_TRUE(SameRect(inner, RECT{0, 0, 381, 227}));
}

class SkinnedWindowsPortTest : public ::testing::Test {
 protected:
  // Runs the client's main window on this thread while `player` acts from another; the
  // main window's cancel ends the run after it.
  void Play(const std::function<void(HWND main)>& player) {
    const DWORD windowThread = ::GetCurrentThreadId();
    std::thread user([&] {
      test::EnterTestDesktop();
      ::SetCursorPos(1000, 700);  // over none of the buttons, whose faces are compared
      const HWND main = WaitForWindow(nullptr, Wide(kMainWindowTitle).c_str());
      if (!main) {
        ADD_FAILURE() << "no main window";
        ::PostThreadMessageW(windowThread, WM_QUIT, 0, 0);
        return;
      }
      player(main);
      ::PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(m_client.RunMainWindow(), kIdCancel);
    user.join();
  }
  const BrowserRecord* BrowserOf(HWND parent) const {
    for (const BrowserRecord& record : m_browsers) {
      if (record.parent == parent) return &record;
    }
    return nullptr;
  }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  Win32Dialogs m_dialogs;
  Win32BrowserFactory m_realBrowsers = MakeHtmlCtrlFactory(m_dialogs, m_test.shell);
  std::deque<BrowserRecord> m_browsers;  // written on the window's thread, read after the run
  Win32DialogFactory m_factory{[this](HWND parent, int id, const RECT& place,
                                      const BrowserSite& site) -> std::unique_ptr<IWin32Browser> {
    auto real = m_realBrowsers(parent, id, place, site);
    if (!real) return nullptr;
    BrowserRecord& record = m_browsers.emplace_back(BrowserRecord{parent, place, site});
    DOCHOSTUIINFO info{};
    static_cast<CHtmlCtrl&>(*real).OnGetHostInfo(&info);
    record.hostFlags = info.dwFlags;
    return std::make_unique<RecordedBrowser>(std::move(real), record);
  }};
  std::unique_ptr<IHttpClient> m_http = CreateHttpClient();
  ZevaClient m_client{{m_test.platform, m_factory, *m_http, {}, {kToolServer}}};
};

TEST_F(SkinnedWindowsPortTest, EachMenuOpensItsWindowAndItsButtonsEndIt) {
  struct Case {
    const char* path;
    UINT message;  // to the main window, then the item `downs` steps down its menu
    WPARAM wParam;
    LPARAM lParam;
    int downs;
    const SkinnedWindow& window;
    int endingButton;
  };
  // Help menu: 检查更新, 更新日志, -, 意见反馈, 关于我们. Tray menu: 隐藏窗口, -, 关于我们, 退出.
  const Case cases[] = {
      {"help menu", WM_COMMAND, res::kHelpButton, 0, 2, kUpdateLog, res::kDialogCloseButton},
      {"help menu", WM_COMMAND, res::kHelpButton, 0, 4, kAbout, res::kDialogCloseButton},
      {"tray menu", kWmTrayNotify, res::kAppIcon, WM_RBUTTONDOWN, 2, kAbout, kIdOk},
  };
  HWND mainWindow = nullptr, updateLog = nullptr;
  Play([&](HWND main) {
    mainWindow = main;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.downs));
      ChooseFromMenu(main, c.message, c.wParam, c.lParam, c.downs);
      const HWND window = WaitForWindow(L"#32770", c.window.title);
      ASSERT_NE(window, nullptr);
      ExpectSkinnedFrame(main, window, c.window);
      if (&c.window == &kAbout) {
        ExpectAboutFace(window);
      } else {
        updateLog = window;
        ExpectUpdateLogPage(window);
      }
      ::SendMessageW(::GetDlgItem(window, c.endingButton), BM_CLICK, 0, 0);
      EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(window); }));
      EXPECT_TRUE(::IsWindowEnabled(main));
    }
  });

  // The update list, in a page with scroll bars (the portal has none) and a window.external
  // of its own.
  const BrowserRecord* page = BrowserOf(updateLog);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(SameRect(page->place, RECT{2, 30, 383, 257}));
  EXPECT_TRUE(page->site.scrollBars);
  EXPECT_NE(page->site.external, nullptr);
  EXPECT_EQ(page->hostFlags & DOCHOSTUIFLAG_SCROLL_NO, 0u);
  EXPECT_EQ(page->urls,
            std::vector<std::u16string>{std::u16string(kToolServer) + endpoints::kUpdateListPath});
  const BrowserRecord* portal = BrowserOf(mainWindow);
  ASSERT_NE(portal, nullptr);
  EXPECT_NE(portal->hostFlags & DOCHOSTUIFLAG_SCROLL_NO, 0u);
  EXPECT_NE(page->site.external, portal->site.external);
}

}  // namespace
}  // namespace zeva::win32
