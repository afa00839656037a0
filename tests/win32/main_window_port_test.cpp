// The Win32 port's template dialog with core classes behind it, on a real display: the main
// window as the system sees it (title, place, frame, hit test, pixels), messages and commands
// reaching its table, and other templates run modally over it.
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/zeva_app.h"
#include "ports/win32/wide.h"
#include "ports/win32/win32_dialog_factory.h"
#include "ports/win32/win32_skin.h"
#include "res/resource_ids.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "test_desktop.h"
#include "ui/dialog_base.h"
#include "ui/window_messages.h"
#include "window_probes.h"

namespace zeva::win32 {
namespace {

HWND Hwnd(WindowHandle handle) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
}

void Pump() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// Pumps until `done`, as a user would wait for the screen; false if it never comes.
bool PumpUntil(const std::function<bool()>& done) {
  for (int turn = 0; turn < 1000 && !done(); ++turn) {
    Pump();
    ::Sleep(5);
  }
  return done();
}

using test::DifferingPixels;
using test::RectInParent;
using test::TextOf;
using test::WaitForWindow;

bool TrayIconExists(HWND window) {
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = res::kAppIcon;
  return ::Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
}

void MouseButton(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  ::SendInput(1, &input, sizeof input);
}

// A window class of the core that runs `whileOpen` inside its own modal loop.
class ProbeDialog final : public CDialogBase {
 public:
  using CDialogBase::CDialogBase;
  std::function<void(IWindowView&)> whileOpen;

  void OnInitDialog() override { View().PostToSelf(kProbe, 0, 0); }
  intptr_t OnMessage(uint32_t message, uintptr_t, intptr_t) override {
    if (message == kProbe && whileOpen) whileOpen(View());
    return 0;
  }

 private:
  static constexpr uint32_t kProbe = WM_APP + 1;
};

class MainWindowPortTest : public ::testing::Test {
 protected:
  MainWindowPortTest() {
    m_dialog.Create(0);
    m_window = Hwnd(m_dialog.Handle());
    Pump();
  }
  ~MainWindowPortTest() override { m_dialog.DestroyWindow(); }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  Win32DialogFactory m_factory;
  int m_settingsOpened = 0;
  CZEVA30Dlg m_dialog{m_test.platform, m_factory,
                      MainWindowHooks{.openSettings = [this] { ++m_settingsOpened; }}};
  HWND m_window = nullptr;
};

TEST_F(MainWindowPortTest, ACaptionlessWindowFoundByItsTitle) {
  ASSERT_NE(m_window, nullptr);
  EXPECT_EQ(::FindWindowW(nullptr, Wide(kMainWindowTitle).c_str()), m_window);
  RECT place;
  ::GetWindowRect(m_window, &place);
  EXPECT_EQ(place.left, 0);
  EXPECT_EQ(place.top, 0);
  EXPECT_EQ(place.right, 800);
  EXPECT_EQ(place.bottom, 600);
  const LONG style = ::GetWindowLongW(m_window, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_NE(style & WS_MINIMIZEBOX, 0);
  EXPECT_TRUE(::IsWindowVisible(m_window));
  EXPECT_NE(::SendMessageW(m_window, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(::SendMessageW(m_window, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_EQ(TextOf(::GetDlgItem(m_window, res::kVersionLabel)), u"V3.0.6");

  // The drag band along the top answers as a caption; below it the window is client area.
  EXPECT_EQ(::SendMessageW(m_window, WM_NCHITTEST, 0, MAKELPARAM(400, 25)), HTCAPTION);
  EXPECT_EQ(::SendMessageW(m_window, WM_NCHITTEST, 0, MAKELPARAM(400, 31)), HTCLIENT);
}

TEST_F(MainWindowPortTest, TrayMessagesAndCommandsReachTheTable) {
  EXPECT_TRUE(TrayIconExists(m_window));
  EXPECT_EQ(::SendMessageW(m_window, kWmTrayNotify, res::kAppIcon, WM_LBUTTONDOWN), 1);
  EXPECT_FALSE(::IsWindowVisible(m_window));
  ::SendMessageW(m_window, kWmTrayNotify, res::kAppIcon, WM_LBUTTONDOWN);
  EXPECT_TRUE(::IsWindowVisible(m_window));
  ::SendMessageW(m_window, WM_COMMAND, res::kCmdShowHide, 0);
  EXPECT_FALSE(::IsWindowVisible(m_window));

  ::SendMessageW(m_window, WM_COMMAND, res::kSettingsButton, 0);
  // An edit box's notifications carry its id too, but are no commands.
  ::SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(res::kSettingsButton, EN_CHANGE), 0);
  EXPECT_EQ(m_settingsOpened, 1);
  ASSERT_TRUE(::PostMessageW(m_window, kWmOpenSettings, 0, 0));
  Pump();
  EXPECT_EQ(m_settingsOpened, 2);

  // A close request is the window's cancel: the client ends and its tray icon goes.
  ::SendMessageW(m_window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(TrayIconExists(m_window));
}

TEST_F(MainWindowPortTest, TrayMenuShowsItsTextsAndReturnsTheChoice) {
  std::u16string firstItem;
  int items = 0;
  std::thread user([&] {
    test::EnterTestDesktop();
    const HWND menu = WaitForWindow(L"#32768", nullptr);
    if (!menu) return;
    const auto popup = reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0));
    wchar_t text[64] = {};
    ::GetMenuStringW(popup, 0, text, 64, MF_BYPOSITION);
    firstItem = FromWide(text);
    items = ::GetMenuItemCount(popup);
    ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  });
  ::SendMessageW(m_window, kWmTrayNotify, res::kAppIcon, WM_RBUTTONDOWN);
  user.join();
  EXPECT_EQ(firstItem, u"隐藏窗口");  // the window is visible
  EXPECT_EQ(items, 4);
  EXPECT_FALSE(::IsWindowVisible(m_window));  // the first item hides it
}

TEST_F(MainWindowPortTest, ImageButtonsShowTheirStripOverThePicture) {
  const HWND button = ::GetDlgItem(m_window, res::kSettingsButton);
  const auto strip = SkinPicture::Load(res::kPngSettings);
  const auto background = SkinPicture::Load(res::kPngMainBackground);
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(strip && background);
  const RECT place = RectInParent(button);
  EXPECT_EQ(place.left, 702);
  EXPECT_EQ(place.top, 7);
  EXPECT_EQ(place.right - place.left, strip->Width() / 4);
  EXPECT_EQ(place.bottom - place.top, strip->Height());
  ::RedrawWindow(m_window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_EQ(DifferingPixels(m_window, 300, 300, *background, 300, 300, 40, 40), 0);
  EXPECT_EQ(DifferingPixels(button, 0, 0, *strip, 0, 0, 15, 15), 0);

  // The version label: white, drawn straight onto the picture.
  const HWND label = ::GetDlgItem(m_window, res::kVersionLabel);
  const RECT labelPlace = RectInParent(label);
  const HDC dc = ::GetDC(label);
  int white = 0;
  for (int y = 0; y < labelPlace.bottom - labelPlace.top; ++y) {
    for (int x = 0; x < 40; ++x) white += ::GetPixel(dc, x, y) == RGB(255, 255, 255);
  }
  ::ReleaseDC(label, dc);
  EXPECT_GT(white, 0);
  EXPECT_EQ(DifferingPixels(label, 70, 0, *background, labelPlace.left + 70, labelPlace.top, 10,
                            labelPlace.bottom - labelPlace.top),
            0);

  // The real pointer: hover, press and click show their frames; the click is a command.
  ::SetCursorPos(709, 14);
  EXPECT_TRUE(PumpUntil([&] { return DifferingPixels(button, 0, 0, *strip, 15, 0, 15, 15) == 0; }));
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  EXPECT_TRUE(PumpUntil([&] { return DifferingPixels(button, 0, 0, *strip, 30, 0, 15, 15) == 0; }));
  EXPECT_EQ(m_settingsOpened, 0);
  MouseButton(MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(PumpUntil([&] { return m_settingsOpened == 1; }));
}

TEST_F(MainWindowPortTest, AnOwnedBoxShowsTheRenamedButtons) {
  std::u16string ok, cancel;
  HWND owner = nullptr;
  std::thread user([&] {
    test::EnterTestDesktop();
    const HWND box = WaitForWindow(L"#32770", L"更新提示");
    if (!box) return;
    owner = ::GetWindow(box, GW_OWNER);
    ok = TextOf(::GetDlgItem(box, IDOK));
    cancel = TextOf(::GetDlgItem(box, IDCANCEL));
    ::SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
  });
  const int answer =
      m_dialog.View().ShowOwnedBox(u"有新版本", u"更新提示", kMbOkCancel, {u"一键安装", u"稍后"});
  user.join();
  EXPECT_EQ(answer, kIdCancel);
  EXPECT_EQ(owner, m_window);
  EXPECT_EQ(ok, u"一键安装");
  EXPECT_EQ(cancel, u"稍后");
}

TEST_F(MainWindowPortTest, AnyTemplateRunsModallyOverItsOwner) {
  ProbeDialog settings(m_factory, res::kSettingsDialog);
  bool ownerEnabled = true;
  settings.whileOpen = [&](IWindowView& view) {
    ownerEnabled = ::IsWindowEnabled(m_window);
    view.SetCheck(res::kAutostartCheck, true);
    view.SetCheck(res::kUpdateAutoRadio, true);
    view.SetCheck(res::kWindowModeOffRadio, true);
    EXPECT_TRUE(view.IsChecked(res::kAutostartCheck));
    EXPECT_TRUE(view.IsChecked(res::kWindowModeOffRadio));
    view.SetCheck(res::kWindowModeAskRadio, true);
    EXPECT_FALSE(view.IsChecked(res::kWindowModeOffRadio));
    // A click keeps one radio button per group, as the template groups them.
    ::SendMessageW(::GetDlgItem(Hwnd(view.Handle()), res::kWindowModeOnRadio), BM_CLICK, 0, 0);
    EXPECT_TRUE(view.IsChecked(res::kWindowModeOnRadio));
    EXPECT_FALSE(view.IsChecked(res::kWindowModeAskRadio));
    EXPECT_TRUE(view.IsChecked(res::kUpdateAutoRadio));

    const std::u16string longPath = u"D:\\游戏\\" + std::u16string(600, u'穿') + u"\\穿越火线";
    view.SetControlText(res::kOfficialFolderEdit, longPath);
    EXPECT_EQ(view.GetControlText(res::kOfficialFolderEdit), longPath);
    EXPECT_EQ(view.GetControlText(res::kTitleLabel), u"标题");
    // Escape in the window is its cancel.
    ::PostMessageW(::GetDlgItem(Hwnd(view.Handle()), res::kOfficialFolderEdit), WM_KEYDOWN,
                   VK_ESCAPE, 0);
  };
  EXPECT_EQ(settings.DoModal(m_dialog.Handle()), kIdCancel);
  EXPECT_FALSE(ownerEnabled);
  EXPECT_TRUE(::IsWindowEnabled(m_window));
  EXPECT_FALSE(settings.IsOpen());

  ProbeDialog download(m_factory, res::kDownloadDialog);
  download.whileOpen = [&](IWindowView& view) {
    const HWND progress = ::GetDlgItem(Hwnd(view.Handle()), res::kDownloadProgress);
    view.SetProgressRange(res::kDownloadProgress, 1, 100);
    view.SetProgressPos(res::kDownloadProgress, 50);
    EXPECT_EQ(::SendMessageW(progress, PBM_GETPOS, 0, 0), 50);
    EXPECT_EQ(::SendMessageW(progress, PBM_GETRANGE, TRUE, 0), 1);
    EXPECT_EQ(::SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(TextOf(Hwnd(view.Handle())), u"下载");
    download.EndDialog(7);
  };
  EXPECT_EQ(download.DoModal(m_dialog.Handle()), 7);
}

// What the core places a secondary window by: the owner's place only while the owner is on
// the screen (a minimised window sits at -32000, a hidden one nowhere), and the work area.
TEST_F(MainWindowPortTest, PlacementFactsFollowTheOwnersState) {
  std::vector<std::optional<ScreenRect>> owners;
  ScreenRect work;
  ProbeDialog about(m_factory, res::kAboutDialog);
  about.whileOpen = [&](IWindowView& view) {
    owners.push_back(view.ShownOwnerBounds());
    work = view.WorkArea();
    about.EndDialog(kIdOk);
  };
  about.DoModal(m_dialog.Handle());
  ::ShowWindow(m_window, SW_MINIMIZE);
  about.DoModal(m_dialog.Handle());
  ::ShowWindow(m_window, SW_HIDE);
  about.DoModal(m_dialog.Handle());
  ::ShowWindow(m_window, SW_SHOWNORMAL);
  ASSERT_EQ(owners.size(), 3u);
  ASSERT_TRUE(owners[0]);
  EXPECT_EQ(owners[0]->width, 800);
  EXPECT_EQ(owners[0]->height, 600);
  EXPECT_FALSE(owners[1]);
  EXPECT_FALSE(owners[2]);
  EXPECT_GT(work.width, 0);
  EXPECT_GT(work.height, 0);
}

// A label no window names keeps the system's colours: the dialog manager's own answer.
TEST_F(MainWindowPortTest, LabelsKeepTheSystemsColoursUntilAWindowNamesAStyle) {
  ProbeDialog about(m_factory, res::kAboutDialog);
  about.whileOpen = [&](IWindowView& view) {
    const HWND window = Hwnd(view.Handle());
    view.SetBackground(res::kPngAboutBackground);
    const HWND label = ::GetDlgItem(window, res::kAboutText);
    const HDC dc = ::GetDC(label);
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(label));
    EXPECT_EQ(::GetTextColor(dc), ::GetSysColor(COLOR_WINDOWTEXT));
    view.SetTextStyle(res::kAboutText, TextStyle{0x0E4E81, true});
    ::SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(label));
    EXPECT_EQ(::GetTextColor(dc), RGB(0x0E, 0x4E, 0x81));
    ::ReleaseDC(label, dc);
    about.EndDialog(kIdOk);
  };
  EXPECT_EQ(about.DoModal(m_dialog.Handle()), kIdOk);
}

TEST_F(MainWindowPortTest, LabelsTakeTheirStyleAndPictures) {
  ProbeDialog about(m_factory, res::kAboutDialog);
  about.whileOpen = [&](IWindowView& view) {
    const HWND window = Hwnd(view.Handle());
    view.SetBackground(res::kPngAboutBackground);
    view.MoveControl(res::kTitleLabel, 10, 5, 120, 30);
    view.SetTextStyle(res::kTitleLabel, TextStyle{0xFF0000, true, 0xFFFFFF, u"", 14, true, false});
    view.SetPicture(res::kAboutText, res::kPngOk);
    ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);

    const HWND title = ::GetDlgItem(window, res::kTitleLabel);
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(title, WM_GETFONT, 0, 0)), sizeof font,
                 &font);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    const HDC dc = ::GetDC(title);
    int red = 0;
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 120; ++x) {
        const COLORREF pixel = ::GetPixel(dc, x, y);
        red += GetRValue(pixel) > 200 && GetGValue(pixel) < 80 && GetBValue(pixel) < 80;
      }
    }
    ::ReleaseDC(title, dc);
    EXPECT_GT(red, 0);

    const HWND label = ::GetDlgItem(window, res::kAboutText);
    const auto picture = SkinPicture::Load(res::kPngOk);
    ASSERT_TRUE(picture);
    const RECT place = RectInParent(label);
    EXPECT_EQ(place.right - place.left, picture->Width());
    EXPECT_EQ(place.bottom - place.top, picture->Height());
    EXPECT_EQ(DifferingPixels(label, 0, 0, *picture, 0, 0, picture->Width(), picture->Height()), 0);
    about.EndDialog(kIdOk);
  };
  EXPECT_EQ(about.DoModal(m_dialog.Handle()), kIdOk);
}

TEST_F(MainWindowPortTest, AQuitEndsTheModalRunAndReachesTheOuterLoop) {
  ProbeDialog about(m_factory, res::kAboutDialog);
  about.whileOpen = [](IWindowView&) { ::PostQuitMessage(3); };
  EXPECT_EQ(about.DoModal(m_dialog.Handle()), -1);
  EXPECT_TRUE(::IsWindowEnabled(m_window));
  MSG quit{};
  EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 3u);
}

// What a stand-in page control saw; it outlives the control.
struct PageRecord {
  std::atomic<HWND> window = nullptr;
  RECT place{};
  std::vector<std::u16string> urls;
  std::vector<WPARAM> keys;
  bool windowAliveAtEnd = false;
};

// A child window in the page's place that takes every key sent to it.
class FakeBrowser final : public IWin32Browser {
 public:
  FakeBrowser(HWND parent, int id, const RECT& place, PageRecord& record) : m_record(record) {
    m_record.place = place;
    m_record.window =
        ::CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, place.left, place.top,
                          place.right - place.left, place.bottom - place.top, parent,
                          reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  }
  ~FakeBrowser() override {
    m_record.windowAliveAtEnd = ::IsWindow(::GetParent(m_record.window)) != FALSE;
    ::DestroyWindow(m_record.window);
  }
  HWND Window() const override { return m_record.window; }
  void Navigate(const std::u16string& url) override { m_record.urls.push_back(url); }
  bool PreTranslateMessage(MSG* message) override {
    if (message->message != WM_KEYDOWN) return false;
    m_record.keys.push_back(message->wParam);
    return true;
  }

 private:
  PageRecord& m_record;
};

TEST(MainWindowPageTest, ThePageTakesItsKeysBeforeTheDialogManager) {
  test::TempFolder folder;
  test::TestPlatform platform(folder.Path());
  PageRecord page;
  Win32DialogFactory factory([&](HWND parent, int id, const RECT& place, const BrowserSite& site) {
    EXPECT_EQ(id, res::kBrowserArea);
    EXPECT_FALSE(site.scrollBars);
    return std::make_unique<FakeBrowser>(parent, id, place, page);
  });
  CZEVA30Dlg dialog(platform.platform, factory);
  std::thread user([&] {
    test::EnterTestDesktop();
    const HWND window = WaitForWindow(nullptr, Wide(kMainWindowTitle).c_str());
    // The page's control took the place and the id of the template's placeholder.
    EXPECT_EQ(::GetDlgItem(window, res::kBrowserArea), page.window.load());
    ::PostMessageW(page.window, WM_KEYDOWN, VK_ESCAPE, 0);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(dialog.DoModal(), kIdCancel);  // the close request, not the page's Escape
  user.join();
  EXPECT_EQ(page.keys, std::vector<WPARAM>{VK_ESCAPE});
  EXPECT_EQ(page.urls, std::vector<std::u16string>{dialog.PortalUrl()});
  const RECT expected{1, 32, 799, 599};
  EXPECT_TRUE(::EqualRect(&page.place, &expected));
  EXPECT_TRUE(page.windowAliveAtEnd);  // the page goes before its window
}

}  // namespace
}  // namespace zeva::win32
