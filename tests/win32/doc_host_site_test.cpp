// The document host site's answers, asked the way the browser asks them: through its
// interfaces, by direct COM calls.
#include <windows.h>
// After windows.h:
#include <docobj.h>
#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "browser_fixture.h"
#include "host/page_texts.h"
#include "ports/win32/com_ids.h"
#include "ports/win32/doc_host_site.h"
#include "ports/win32/html_ctrl.h"
#include "ports/win32/wide.h"
#include "ports/win32/win32_system.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

using win32::Wide;

template <typename Interface>
Interface* Query(IUnknown* object, REFIID riid) {
  Interface* result = nullptr;
  if (FAILED(object->QueryInterface(riid, reinterpret_cast<void**>(&result)))) return nullptr;
  return result;
}

class DocHostSiteTest : public test::BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    m_control = std::make_unique<win32::CHtmlCtrl>(m_dialogs, m_test.shell,
                                                   BrowserSite{false, &m_dispatcher});
    ASSERT_TRUE(m_control->Create(m_parent, 1008, RECT{1, 32, 799, 599}));
    m_site = new win32::CDocHostSite(*m_control, m_control->Window());
    m_identity = Query<IUnknown>(m_site->ClientSite(), IID_IUnknown);
    m_site->InternalRelease();  // the test holds the site through m_identity
  }
  void TearDown() override {
    if (m_identity) {
      EXPECT_EQ(m_identity->Release(), 0u);
    }
    m_control.reset();  // while OLE is up
    BrowserFixture::TearDown();
  }

  win32::Win32Dialogs m_dialogs;
  std::unique_ptr<win32::CHtmlCtrl> m_control;
  win32::CDocHostSite* m_site = nullptr;
  IUnknown* m_identity = nullptr;
  std::u16string m_trustedUrl = std::u16string(endpoints::kToolServer) + u"/CF30/CF_Index.aspx";
};

TEST_F(DocHostSiteTest, OneIdentityAndOneCountAcrossItsInterfaces) {
  const std::vector<IID> interfaces{
      win32::kIidDocHostShowUI, IID_IDocHostUIHandler, IID_IInternetSecurityManager,
      IID_IServiceProvider,     IID_IOleCommandTarget, IID_IOleClientSite,
      IID_IOleInPlaceSite,      IID_IOleInPlaceFrame,  IID_IOleInPlaceUIWindow};
  std::vector<IUnknown*> held;
  for (const IID& riid : interfaces) {
    IUnknown* part = Query<IUnknown>(m_identity, riid);
    ASSERT_NE(part, nullptr);
    IUnknown* back = Query<IUnknown>(part, IID_IUnknown);
    EXPECT_EQ(back, m_identity);
    back->Release();
    held.push_back(part);
  }
  // Each interface counts on the one count: the identity's AddRef sees them all.
  EXPECT_EQ(m_identity->AddRef(), 2u + held.size());
  m_identity->Release();
  for (IUnknown* part : held) part->Release();
  EXPECT_EQ(m_identity->AddRef(), 2u);
  m_identity->Release();

  IUnknown* none = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(m_identity->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&none)),
            E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
}

TEST_F(DocHostSiteTest, HostInformationFollowsTheScrollBarSwitch) {
  for (const bool scrollBars : {false, true}) {
    win32::CHtmlCtrl control(m_dialogs, m_test.shell, BrowserSite{scrollBars, nullptr});
    auto* site = new win32::CDocHostSite(control, nullptr);
    auto* handler = Query<IDocHostUIHandler>(site->ClientSite(), IID_IDocHostUIHandler);
    site->InternalRelease();
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof info;
    info.dwDoubleClick = 7;
    ASSERT_EQ(handler->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, scrollBars ? 0x40001u : 0x40009u);
    EXPECT_EQ(info.dwDoubleClick, 0u);
    EXPECT_EQ(info.cbSize, sizeof info);
    EXPECT_EQ(handler->Release(), 0u);
  }
}

TEST_F(DocHostSiteTest, NoMenusNoHelpNoReplacements) {
  auto* handler = Query<IDocHostUIHandler>(m_identity, IID_IDocHostUIHandler);
  POINT point{10, 10};
  EXPECT_EQ(handler->ShowContextMenu(0, &point, nullptr, nullptr), S_OK);
  EXPECT_EQ(handler->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_FALSE);
  EXPECT_EQ(handler->TranslateAccelerator(nullptr, nullptr, 0), E_NOTIMPL);
  std::wstring url = L"http://example.com/";
  LPWSTR translated = url.data();
  EXPECT_EQ(handler->TranslateUrl(0, url.data(), &translated), S_FALSE);
  EXPECT_EQ(translated, nullptr);
  handler->Release();
  auto* showUi = Query<IDocHostShowUI>(m_identity, win32::kIidDocHostShowUI);
  EXPECT_EQ(showUi->ShowHelp(nullptr, nullptr, 0, 0, POINT{}, nullptr), E_NOTIMPL);
  showUi->Release();
}

TEST_F(DocHostSiteTest, EveryPageGetsTheSameExternalObject) {
  auto* handler = Query<IDocHostUIHandler>(m_identity, IID_IDocHostUIHandler);
  IDispatch* first = nullptr;
  IDispatch* second = nullptr;
  ASSERT_EQ(handler->GetExternal(&first), S_OK);
  ASSERT_EQ(handler->GetExternal(&second), S_OK);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  std::wstring name = L"GetVersion";
  LPOLESTR names[] = {name.data()};
  DISPID id = 0;
  EXPECT_EQ(first->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 1);
  first->Release();
  second->Release();

  // A control whose window has no dispatcher gives pages no external object.
  win32::CHtmlCtrl bare(m_dialogs, m_test.shell, BrowserSite{});
  auto* site = new win32::CDocHostSite(bare, nullptr);
  auto* bareHandler = Query<IDocHostUIHandler>(site->ClientSite(), IID_IDocHostUIHandler);
  site->InternalRelease();
  IDispatch* none = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(bareHandler->GetExternal(&none), S_FALSE);
  EXPECT_EQ(none, nullptr);
  bareHandler->Release();
  handler->Release();
}

// A page's confirmation: the client's own box over the control's parent with the browser's
// caption, answered with Cancel from another thread; the answer goes back to the browser.
TEST_F(DocHostSiteTest, PageMessagesAreTheClientsOwnBoxes) {
  auto* showUi = Query<IDocHostShowUI>(m_identity, win32::kIidDocHostShowUI);
  std::atomic<bool> found{false};
  std::wstring boxText;
  HWND boxOwner = nullptr;
  std::thread answerer([&] {
    for (int attempt = 0; attempt < 3000 && !found; ++attempt) {
      if (HWND box = ::FindWindowW(L"#32770", L"网页对话框")) {
        wchar_t text[256] = {};
        ::GetWindowTextW(::GetDlgItem(box, 0xFFFF), text, 256);
        boxText = text;
        boxOwner = ::GetWindow(box, GW_OWNER);
        found = true;
        ::SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  std::wstring text = L"确定要删除吗？";
  std::wstring caption = L"网页对话框";  // the browser's caption, kept
  LRESULT result = 0;
  EXPECT_EQ(showUi->ShowMessage(nullptr, text.data(), caption.data(), MB_OKCANCEL | MB_ICONQUESTION,
                                nullptr, 0, &result),
            S_OK);
  answerer.join();
  ASSERT_TRUE(found);
  EXPECT_EQ(boxText, text);
  EXPECT_EQ(boxOwner, m_parent);
  EXPECT_EQ(result, IDCANCEL);
  showUi->Release();
}

TEST_F(DocHostSiteTest, SecurityAnswersOnlyForTheClientsOwnPages) {
  auto* manager = Query<IInternetSecurityManager>(m_identity, IID_IInternetSecurityManager);
  const std::wstring trusted = Wide(m_trustedUrl);
  struct Case {
    std::wstring url;
    DWORD action;
    DWORD policySize;
    HRESULT answer;
    bool written;
  };
  const Case cases[] = {
      {trusted, 0x1200, 4, S_OK, true},  // run ActiveX controls
      {trusted, 0x1201, 4, S_OK, true},  // script controls not marked safe
      {trusted, 0x13FF, 4, S_OK, true},
      {trusted, 0x1400, 4, S_OK, true},  // active scripting
      {trusted, 0x1406, 4, S_OK, true},  // data sources across domains
      {trusted, 0x15FF, 4, S_OK, true},
      {trusted, 0x11FF, 4, INET_E_DEFAULT_ACTION, false},
      {trusted, 0x1600, 4, INET_E_DEFAULT_ACTION, false},  // form submission
      {trusted, 0x1C00, 4, INET_E_DEFAULT_ACTION, false},  // Java
      {trusted, 0x1400, 2, S_FALSE, false},                // a buffer too small
      {L"http://evil.example/CF30/CF_Index.aspx", 0x1400, 4, INET_E_DEFAULT_ACTION, false},
      {L"http://127.0.0.1:8089/", 0x1201, 4, INET_E_DEFAULT_ACTION, false},
      {L"file:///C:/page.html", 0x1406, 4, INET_E_DEFAULT_ACTION, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.action << " " << c.policySize);
    BYTE policy[4] = {0xAB, 0xAB, 0xAB, 0xAB};
    EXPECT_EQ(
        manager->ProcessUrlAction(c.url.c_str(), c.action, policy, c.policySize, nullptr, 0, 0, 0),
        c.answer);
    const DWORD written = policy[0] | policy[1] << 8 | policy[2] << 16 | policy[3] << 24;
    EXPECT_EQ(written, c.written ? URLPOLICY_ALLOW : 0xABABABABu);
  }
  EXPECT_EQ(manager->ProcessUrlAction(nullptr, 0x1400, nullptr, 4, nullptr, 0, 0, 0),
            INET_E_DEFAULT_ACTION);
  // Zones stay the browser's, for every page.
  for (const std::wstring& url : {trusted, std::wstring(L"http://evil.example/")}) {
    DWORD zone = 99;
    EXPECT_EQ(manager->MapUrlToZone(url.c_str(), &zone, 0), INET_E_DEFAULT_ACTION);
    EXPECT_EQ(zone, 99u);
  }
  manager->Release();
}

TEST_F(DocHostSiteTest, ServicesAreOnlyTheSecurityManager) {
  auto* provider = Query<IServiceProvider>(m_identity, IID_IServiceProvider);
  auto* manager = Query<IUnknown>(m_identity, IID_IInternetSecurityManager);
  void* object = nullptr;
  EXPECT_EQ(
      provider->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager, &object),
      S_OK);
  EXPECT_EQ(object, manager);
  static_cast<IUnknown*>(object)->Release();
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(provider->QueryService(SID_SInternetSecurityManager, IID_IUnknown, &object),
            E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(provider->QueryService(IID_IDocHostUIHandler, IID_IDocHostUIHandler, &object),
            E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  manager->Release();
  provider->Release();
}

TEST_F(DocHostSiteTest, ScriptErrorsNeverStopThePage) {
  auto* target = Query<IOleCommandTarget>(m_identity, IID_IOleCommandTarget);
  const GUID& group = win32::kCgidDocHostCommandHandler;
  VARIANT out;
  ::VariantInit(&out);
  EXPECT_EQ(target->Exec(&group, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out), S_OK);
  EXPECT_EQ(V_VT(&out), VT_BOOL);
  EXPECT_EQ(V_BOOL(&out), VARIANT_TRUE);
  EXPECT_EQ(target->Exec(&group, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, nullptr), S_OK);

  // Everything else is the browser's; the output stays as it was.
  VARIANT notADocument;
  ::VariantInit(&notADocument);
  V_VT(&notADocument) = VT_I4;
  struct Case {
    const GUID* group;
    DWORD command;
    VARIANT* in;
  };
  for (const Case& c : {Case{nullptr, OLECMDID_SHOWSCRIPTERROR, nullptr},
                        Case{&IID_IDispatch, OLECMDID_SHOWSCRIPTERROR, nullptr},
                        Case{&group, OLECMDID_SHOWMESSAGE, nullptr},
                        Case{&group, OLECMDID_SHOWMESSAGE, &notADocument},
                        Case{&group, OLECMDID_SHOWFIND, nullptr}}) {
    ::VariantInit(&out);
    EXPECT_EQ(target->Exec(c.group, c.command, 0, c.in, &out), OLECMDERR_E_NOTSUPPORTED);
    EXPECT_EQ(V_VT(&out), VT_EMPTY);
  }
  OLECMD command{OLECMDID_SHOWSCRIPTERROR, 0};
  EXPECT_EQ(target->QueryStatus(&group, 1, &command, nullptr), OLECMDERR_E_NOTSUPPORTED);
  target->Release();
}

// The control goes before the browser lets go of its site: the site answers without it.
TEST_F(DocHostSiteTest, ADetachedSiteAnswersWithoutItsControl) {
  m_site->Detach();
  auto* handler = Query<IDocHostUIHandler>(m_identity, IID_IDocHostUIHandler);
  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(handler->GetExternal(&external), S_FALSE);
  EXPECT_EQ(external, nullptr);
  handler->Release();
  auto* manager = Query<IInternetSecurityManager>(m_identity, IID_IInternetSecurityManager);
  BYTE policy[4] = {};
  EXPECT_EQ(
      manager->ProcessUrlAction(Wide(m_trustedUrl).c_str(), 0x1400, policy, 4, nullptr, 0, 0, 0),
      INET_E_DEFAULT_ACTION);
  manager->Release();
}

}  // namespace
}  // namespace zeva
