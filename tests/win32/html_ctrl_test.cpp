// The browser control in a real window under Wine, whose WebBrowser shows no page (no
// Gecko): creation, placement, navigation and its failure, new windows, destruction.
#include <windows.h>
// After windows.h:
#include <exdisp.h>
#include <exdispid.h>
#include <urlmon.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "browser_fixture.h"
#include "fake_html_document.h"
#include "ports/win32/browser_events.h"
#include "ports/win32/external_object.h"
#include "ports/win32/html_ctrl.h"
#include "ports/win32/navigate_error.h"
#include "ports/win32/win32_system.h"
#include "script_harness.h"

namespace zeva {
namespace {

class HtmlCtrlTest : public test::BrowserFixture {
 protected:
  void TearDown() override {
    m_browser.reset();  // while OLE is up
    BrowserFixture::TearDown();
  }

  win32::CHtmlCtrl& Control() { return static_cast<win32::CHtmlCtrl&>(*m_browser); }

  win32::Win32Dialogs m_dialogs;
  win32::Win32BrowserFactory m_factory = win32::MakeHtmlCtrlFactory(m_dialogs, m_test.shell);
  std::unique_ptr<win32::IWin32Browser> m_browser;
};

TEST_F(HtmlCtrlTest, IsAChildControlWithItsIdAndPlaceFilledByTheBrowser) {
  const RECT place{1, 32, 799, 599};
  m_browser = m_factory(m_parent, 1008, place, BrowserSite{false, &m_dispatcher});
  ASSERT_NE(m_browser, nullptr);
  const HWND window = m_browser->Window();
  EXPECT_EQ(::GetParent(window), m_parent);
  EXPECT_EQ(::GetDlgCtrlID(window), 1008);
  EXPECT_EQ(::GetWindowLongW(window, GWL_STYLE) & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
  RECT rect{};
  ::GetWindowRect(window, &rect);
  ::MapWindowPoints(nullptr, m_parent, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 1);
  EXPECT_EQ(rect.top, 32);
  EXPECT_EQ(rect.right - rect.left, 798);
  EXPECT_EQ(rect.bottom - rect.top, 567);

  // The browser's own window fills the control, also after the control is moved.
  ::MoveWindow(window, 2, 30, 381, 227, TRUE);
  const HWND inner = ::GetWindow(window, GW_CHILD);
  ASSERT_NE(inner, nullptr);
  ::GetWindowRect(inner, &rect);
  ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 381);
  EXPECT_EQ(rect.bottom, 227);

  m_browser->Navigate(u"about:blank");
  EXPECT_TRUE(PumpUntil([&] { return Control().LocationUrl() == u"about:blank"; }));
}

TEST_F(HtmlCtrlTest, WithoutOleThereIsNoControl) {
  ::OleUninitialize();
  EXPECT_EQ(m_factory(m_parent, 1008, RECT{0, 0, 10, 10}, BrowserSite{}), nullptr);
  EXPECT_EQ(::GetWindow(m_parent, GW_CHILD), nullptr);  // no window left behind
  ::OleInitialize(nullptr);
}

// Closing lets go of the browser, its site and the external object: whoever else held them
// last is left holding the only reference.
TEST_F(HtmlCtrlTest, DestructionReleasesEveryReference) {
  m_browser = m_factory(m_parent, 1008, RECT{1, 32, 799, 599}, BrowserSite{false, &m_dispatcher});
  ASSERT_NE(m_browser, nullptr);
  m_browser->Navigate(u"http://127.0.0.1:1/");
  IWebBrowser2* browser = Control().Browser();
  browser->AddRef();
  IOleObject* object = nullptr;
  ASSERT_EQ(browser->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
  IOleClientSite* site = nullptr;
  ASSERT_EQ(object->GetClientSite(&site), S_OK);
  ASSERT_NE(site, nullptr);
  object->Release();
  IDispatch* external = nullptr;
  ASSERT_EQ(Control().OnGetExternal(&external), S_OK);
  const HWND window = m_browser->Window();

  m_browser.reset();
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(site->Release(), 0u);
  EXPECT_EQ(external->Release(), 0u);
  // The browser's own work on the navigation it was given lets go of it as it ends.
  const auto references = [browser] {
    browser->AddRef();
    return browser->Release();
  };
  EXPECT_TRUE(PumpUntil([&] { return references() == 1; })) << references();
  EXPECT_EQ(browser->Release(), 0u);
}

// The dialog's window goes first and takes the control's window with it; the object goes
// later.
TEST_F(HtmlCtrlTest, TheWindowGoingFirstReleasesTheBrowser) {
  m_browser = m_factory(m_parent, 1008, RECT{1, 32, 799, 599}, BrowserSite{});
  ASSERT_NE(m_browser, nullptr);
  ::DestroyWindow(m_parent);
  EXPECT_EQ(Control().Browser(), nullptr);
  EXPECT_EQ(m_browser->Window(), nullptr);
  m_browser->Navigate(u"about:blank");  // nothing left to navigate
  m_browser.reset();
}

// An address that cannot be fetched: the client's own error page, in an empty page.
TEST_F(HtmlCtrlTest, AnAddressThatCannotBeFetchedGetsTheClientsErrorPage) {
  m_browser = m_factory(m_parent, 1008, RECT{1, 32, 799, 599}, BrowserSite{});
  ASSERT_NE(m_browser, nullptr);
  m_browser->Navigate(u"http://127.0.0.1:1/CF30/CF_Index.aspx");
  EXPECT_TRUE(PumpUntil([&] { return Control().LocationUrl() == u"about:blank"; }));

  // Frames, HTTP errors and other failures keep the browser's own handling.
  IWebBrowser2* browser = Control().Browser();
  EXPECT_FALSE(Control().OnNavigateError(nullptr, u"http://a/", INET_E_DOWNLOAD_FAILURE));
  EXPECT_FALSE(Control().OnNavigateError(browser, u"http://a/", 404));
  EXPECT_FALSE(Control().OnNavigateError(browser, u"foo:bar", INET_E_UNKNOWN_PROTOCOL));
  EXPECT_TRUE(Control().OnNavigateError(browser, u"http://a/", INET_E_CANNOT_CONNECT));
}

// The control's codes in the client's words; WebKit's reasons translate into the same ones,
// so both browsers show the client's page for the same failures.
TEST(NavigateErrorTest, TheControlsCodesInTheClientsWords) {
  const std::pair<HRESULT, NavigationFailure> cases[] = {
      {INET_E_CANNOT_CONNECT, NavigationFailure::kCannotConnect},
      {INET_E_RESOURCE_NOT_FOUND, NavigationFailure::kCannotConnect},
      {INET_E_CONNECTION_TIMEOUT, NavigationFailure::kCannotConnect},
      {INET_E_DOWNLOAD_FAILURE, NavigationFailure::kCannotConnect},
      {INET_E_INVALID_URL, NavigationFailure::kBadAddress},
      {INET_E_INVALID_CERTIFICATE, NavigationFailure::kCertificate},
      {INET_E_UNKNOWN_PROTOCOL, NavigationFailure::kOtherProgram},
      {E_ABORT, NavigationFailure::kCancelled},
      {404, NavigationFailure::kHttpStatus},
      {500, NavigationFailure::kHttpStatus},
      {E_FAIL, NavigationFailure::kUnknown},
  };
  for (const auto& [status, failure] : cases) {
    EXPECT_EQ(win32::ClassifyNavigateError(status), failure) << std::hex << status;
  }
}

TEST_F(HtmlCtrlTest, NewWindowsOpenOnlyWebAddressesInTheDesktopBrowser) {
  win32::CHtmlCtrl control(m_dialogs, m_test.shell, BrowserSite{});
  const struct {
    std::u16string url;
    bool opened;
  } cases[] = {
      {u"http://bbs.example.com/thread-1.html", true},
      {u"HTTPS://example.com/", true},
      {u"file:///C:/Windows/system32/calc.exe", false},
      {u"C:\\Games\\CF\\QQLogin.exe", false},
      {u"javascript:alert(1)", false},
      {u"about:blank", false},
      {u"", false},
  };
  for (const auto& c : cases) {
    m_test.shell.calls.clear();
    EXPECT_TRUE(control.OnNewWindow3(c.url, u"http://127.0.0.1:8088/"));  // never IE's window
    ASSERT_EQ(m_test.shell.calls.size(), c.opened ? 1u : 0u)
        << std::string(c.url.begin(), c.url.end());
    if (c.opened) {
      EXPECT_EQ(m_test.shell.calls[0].verb, u"open");
      EXPECT_EQ(m_test.shell.calls[0].file, c.url);
      EXPECT_EQ(m_test.shell.calls[0].show, SW_SHOWNORMAL);
    }
  }
}

TEST_F(HtmlCtrlTest, OnlyKeysForThePageGoToTheBrowser) {
  m_browser = m_factory(m_parent, 1008, RECT{1, 32, 799, 599}, BrowserSite{});
  ASSERT_NE(m_browser, nullptr);
  const HWND other = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, m_parent, nullptr,
                                       nullptr, nullptr);
  MSG key{other, WM_KEYDOWN, VK_TAB, 0, 0, {}};
  EXPECT_FALSE(m_browser->PreTranslateMessage(&key));
  MSG click{m_browser->Window(), WM_LBUTTONDOWN, 0, 0, 0, {}};
  EXPECT_FALSE(m_browser->PreTranslateMessage(&click));
}

// A page's object that is not the browser's top document does not register for reports.
TEST_F(HtmlCtrlTest, OnlyTheBrowsersOwnDocumentRegisters) {
  ExternalDispatcher dispatcher{m_test.platform, m_page, ScriptHostLinks{}, {u"about:blank"}};
  m_browser = m_factory(m_parent, 1008, RECT{1, 32, 799, 599}, BrowserSite{false, &dispatcher});
  ASSERT_NE(m_browser, nullptr);
  m_browser->Navigate(u"about:blank");
  ASSERT_TRUE(PumpUntil([&] { return Control().LocationUrl() == u"about:blank"; }));
  test::FakeHtmlDocument document;
  IDispatch* external = nullptr;
  ASSERT_EQ(Control().OnGetExternal(&external), S_OK);
  VARIANT argument;
  ::VariantInit(&argument);
  V_VT(&argument) = VT_DISPATCH;
  V_DISPATCH(&argument) = &document;
  DISPPARAMS params{&argument, nullptr, 1, 0};
  VARIANT result;
  ::VariantInit(&result);
  // Called as the page's script engine calls it, from the page at about:blank.
  test::CallingDocument page(L"about:blank");
  test::FakeCaller caller(test::FakeCaller::Way::kContainer, &page);
  IDispatchEx* extended = nullptr;
  ASSERT_EQ(external->QueryInterface(win32::kIidDispatchEx, reinterpret_cast<void**>(&extended)),
            S_OK);
  EXPECT_EQ(extended->InvokeEx(11, 0, DISPATCH_METHOD, &params, &result, nullptr, &caller), S_OK);
  extended->Release();
  EXPECT_FALSE(m_page.HasRegistration());
  external->Release();
}

// The event sink reads each event's arguments from their places (the array holds them last
// first) and answers Cancel through the browser's reference.
TEST(BrowserEventsTest, ArgumentsAndCancelReachTheirPlaces) {
  struct Recorder final : win32::IBrowserEventHandler {
    std::vector<std::u16string> seen;
    void OnNavigateComplete2(IDispatch*, const std::u16string& url) override {
      seen.push_back(u"complete " + url);
    }
    void OnDocumentComplete(IDispatch*, const std::u16string&) override {}
    void OnProgressChange(int32_t progress, int32_t maximum) override {
      seen.push_back(u"progress " + std::u16string(1, char16_t(u'0' + progress)) + u"/" +
                     std::u16string(1, char16_t(u'0' + maximum)));
    }
    bool OnNavigateError(IDispatch*, const std::u16string& url, int32_t status) override {
      seen.push_back(u"error " + url + (status == INET_E_DOWNLOAD_FAILURE ? u" failed" : u""));
      return true;
    }
    bool OnNewWindow3(const std::u16string& url, const std::u16string& referrer) override {
      seen.push_back(u"window " + url + u" from " + referrer);
      return true;
    }
  } recorder;
  auto* events = new win32::BrowserEvents(recorder);

  const auto text = [](VARIANT& v, const wchar_t* value) {
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = ::SysAllocString(value);
  };
  const auto byReference = [](VARIANT& v, VARIANT* target) {
    ::VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = target;
  };

  // NewWindow3(new browser, cancel, flags, referring URL, URL).
  VARIANT_BOOL cancel = VARIANT_FALSE;
  IDispatch* newBrowser = nullptr;
  VARIANT window[5];
  text(window[0], L"http://b/");
  text(window[1], L"http://a/");
  ::VariantInit(&window[2]);
  V_VT(&window[2]) = VT_I4;
  ::VariantInit(&window[3]);
  V_VT(&window[3]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&window[3]) = &cancel;
  ::VariantInit(&window[4]);
  V_VT(&window[4]) = VT_BYREF | VT_DISPATCH;
  V_DISPATCHREF(&window[4]) = &newBrowser;
  DISPPARAMS params{window, nullptr, 5, 0};
  events->Invoke(DISPID_NEWWINDOW3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
  EXPECT_EQ(cancel, VARIANT_TRUE);

  // NavigateError(frame, URL, target frame, status, cancel), its values behind references.
  VARIANT url, frameName, status;
  text(url, L"http://c/");
  text(frameName, L"");
  ::VariantInit(&status);
  V_VT(&status) = VT_I4;
  V_I4(&status) = INET_E_DOWNLOAD_FAILURE;
  cancel = VARIANT_FALSE;
  VARIANT error[5];
  ::VariantInit(&error[0]);
  V_VT(&error[0]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&error[0]) = &cancel;
  byReference(error[1], &status);
  byReference(error[2], &frameName);
  byReference(error[3], &url);
  ::VariantInit(&error[4]);
  V_VT(&error[4]) = VT_DISPATCH;
  params = {error, nullptr, 5, 0};
  events->Invoke(DISPID_NAVIGATEERROR, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
  EXPECT_EQ(cancel, VARIANT_TRUE);

  // ProgressChange(progress, maximum); an event with too few arguments reads empty ones.
  VARIANT progress[2];
  ::VariantInit(&progress[0]);
  V_VT(&progress[0]) = VT_I4;
  V_I4(&progress[0]) = 9;
  ::VariantInit(&progress[1]);
  V_VT(&progress[1]) = VT_I4;
  V_I4(&progress[1]) = 3;
  params = {progress, nullptr, 2, 0};
  events->Invoke(DISPID_PROGRESSCHANGE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
  params = {nullptr, nullptr, 0, 0};
  events->Invoke(DISPID_NAVIGATECOMPLETE2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);

  EXPECT_EQ(recorder.seen, (std::vector<std::u16string>{u"window http://b/ from http://a/",
                                                        u"error http://c/ failed", u"progress 3/9",
                                                        u"complete "}));

  // After Detach the sink ignores the browser.
  events->Detach();
  events->Invoke(DISPID_NAVIGATECOMPLETE2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
  EXPECT_EQ(recorder.seen.size(), 4u);
  EXPECT_EQ(events->Release(), 0u);
  for (VARIANT& v : window) ::VariantClear(&v);
  ::VariantClear(&url);
  ::VariantClear(&frameName);
}

}  // namespace
}  // namespace zeva
