// The client as the ports compose it, on the test port: a page's calls reach the subsystems
// behind them and every main-window hook reaches its window.
#include <gtest/gtest.h>

#include <thread>

#include "app/client.h"
#include "platform/path_style.h"
#include "platform/unicode.h"
#include "res/resource_ids.h"
#include "support/fake_dialog_factory.h"
#include "support/fake_script_object.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "ui/window_messages.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

using V = ScriptValue;

// An HTTP layer that records the sessions asked for and gives none.
class RecordingHttp final : public IHttpClient {
 public:
  std::vector<std::u16string> userAgents;
  std::unique_ptr<IHttpSession> OpenSession(std::u16string_view userAgent) override {
    userAgents.emplace_back(userAgent);
    return nullptr;
  }
};

class ClientTest : public ::testing::Test {
 protected:
  ClientTest() {
    // The main window's modal run is the whole test: it opens, then the body runs inside.
    m_factory.whileModal[res::kMainDialog] = [this](test::FakeDialog& main) {
      m_main = &main;
      if (m_body) m_body();
    };
  }
  void Run(std::function<void()> body) {
    m_body = std::move(body);
    m_client.RunMainWindow();
  }
  InvokeResult Call(std::u16string_view name, std::vector<ScriptValue> args = {}) {
    return m_client.Dispatcher().Invoke(FindMethod(name), args, m_portal);
  }
  // Delivers what the page posted to the main window, as its message loop would.
  void DeliverPosted() {
    for (const test::WindowMessage& m : m_test.windows.messages) {
      if (m.posted && m.window == m_main->view.handle) {
        m_client.MainWindow().OnMessage(m.message, m.wParam, m.lParam);
      }
    }
    m_test.windows.messages.clear();
  }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  test::FakeDialogFactory m_factory;
  RecordingHttp m_http;
  ZevaClient m_client{{m_test.platform, m_factory, m_http}};
  test::FakeDialog* m_main = nullptr;
  std::function<void()> m_body;
  const std::u16string m_portal =
      std::u16string(endpoints::kToolServer) + u"/CF30/CF_Index.aspx?ToolId=1";
};

TEST_F(ClientTest, TheMainWindowHostsThePortalWithWindowExternal) {
  Run([] {});
  ASSERT_NE(m_main, nullptr);
  EXPECT_EQ(m_main->owner, 0u);
  EXPECT_TRUE(m_main->modal);
  EXPECT_EQ(m_main->view.browserSite.external, &m_client.Dispatcher());
  EXPECT_FALSE(m_main->view.browserSite.scrollBars);
  ASSERT_EQ(m_main->view.navigations.size(), 1u);
  EXPECT_EQ(m_main->view.navigations[0], m_client.MainWindow().PortalUrl());
  EXPECT_TRUE(m_main->destroyed);
  EXPECT_FALSE(m_main->view.trayIcon);  // however the run ended, the icon went with it
}

TEST_F(ClientTest, PageMethodsReachTheEngineAndTheWindow) {
  Run([this] {
    // DownloadFile goes to the engine, which asks the HTTP layer for its session.
    EXPECT_EQ(Call(u"DownloadFile", {V::String(endpoints::kToolServer + std::u16string(u"/a.zip")),
                                     V::String(u"a.zip"), V::Int32(1), V::Int32(2)})
                  .value.int32,
              0);  // no session to be had here: refused, not pretended
    EXPECT_EQ(m_http.userAgents.size(), 1u);
    // PauseDownload reaches the same engine: the key it just saw has an entry, another none.
    EXPECT_EQ(Call(u"PauseDownload", {V::Int32(1), V::Int32(2)}).value.int32, 1);
    EXPECT_EQ(Call(u"PauseDownload", {V::Int32(3), V::Int32(4)}).value.int32, 0);

    // The window methods see the main window as the browser's host.
    EXPECT_EQ(static_cast<WindowHandle>(Call(u"GetMainWindow").value.int32), m_main->view.handle);
    EXPECT_EQ(static_cast<WindowHandle>(Call(u"GetParentWindow").value.int32), m_main->view.handle);
  });
}

TEST_F(ClientTest, EveryHookReachesItsWindow) {
  // Each secondary window is closed by its own close button while it runs.
  for (int id : {res::kSettingsDialog, res::kAboutDialog, res::kUpdateLogDialog}) {
    m_factory.whileModal[id] = [](test::FakeDialog& dialog) {
      dialog.events->OnCommand(res::kDialogCloseButton);
    };
  }
  m_factory.whileModal[res::kDownloadDialog] = [](test::FakeDialog& dialog) {
    dialog.events->OnCommand(kIdCancel);  // the caption's close box
  };
  Run([this] {
    CZEVA30Dlg& main = m_client.MainWindow();
    const struct {
      std::function<void()> trigger;
      int templateId;
    } cases[] = {
        {[&] { main.OnCommand(res::kSettingsButton); }, res::kSettingsDialog},
        {[&] { EXPECT_EQ(main.OnMessage(kWmOpenSettings, 0, 0), 1); }, res::kSettingsDialog},
        {[&] {
           EXPECT_TRUE(Call(u"web_OpenSetWnd").value.boolean);
           EXPECT_TRUE(m_factory.Of(res::kSettingsDialog).size() == 2u);  // not before the loop
           DeliverPosted();
         },
         res::kSettingsDialog},
        {[&] { main.OnCommand(res::kCmdHelpAbout); }, res::kAboutDialog},
        {[&] { main.OnCommand(res::kCmdTrayAbout); }, res::kAboutDialog},
        {[&] { main.OnCommand(res::kCmdUpdateLog); }, res::kUpdateLogDialog},
        {[&] { EXPECT_EQ(main.OnMessage(kWmAccelerator, 0, 0), 1); }, res::kDownloadDialog},
    };
    for (const auto& c : cases) {
      const size_t before = m_factory.dialogs.size();
      c.trigger();
      ASSERT_EQ(m_factory.dialogs.size(), before + 1) << c.templateId;
      const test::FakeDialog& opened = *m_factory.dialogs.back();
      EXPECT_EQ(opened.templateId, c.templateId);
      EXPECT_TRUE(opened.modal);
      EXPECT_EQ(opened.owner, m_main->view.handle);  // owned by the main window
      EXPECT_EQ(opened.view.endResults, std::vector<int>{kIdCancel});
      EXPECT_TRUE(opened.destroyed);
    }
  });
}

TEST_F(ClientTest, TheLoginFormAndTheUpdateReachTheirCommands) {
  // An updater signed with the build's key, the one the client trusts unless told another.
  const std::u16string made = Utf8ToUtf16(ZEVA_TEST_SIGNATURES) + kPathSeparator;
  test::WriteBytes(m_folder / u"KIVOUpdate.exe", test::ReadBytes(made + u"updater.exe"));
  test::WriteBytes(m_folder / u"KIVOUpdate.exe.minisig",
                   test::ReadBytes(made + u"build-key.minisig"));
  Run([this] {
    CZEVA30Dlg& main = m_client.MainWindow();
    test::FakeWindowView& view = m_main->view;
    // Enter in the password field logs in, with the fields as they are.
    view.texts[res::kUserNameEdit] = u"zeva";
    view.texts[res::kPasswordEdit] = u"123456";
    view.focused = res::kPasswordEdit;
    LoginReply reply;
    reply.connected = true;
    reply.status = 200;
    reply.body = "1|10001";
    m_test.login.replies = {reply};
    main.OnCommand(kIdOk);
    ASSERT_EQ(m_test.login.requests.size(), 1u);
    EXPECT_EQ(m_test.login.requests[0].host, endpoints::kAccountHost);
    EXPECT_EQ(m_test.login.requests[0].port, endpoints::kAccountPort);
    ASSERT_EQ(m_test.dialogs.boxes.size(), 1u);
    EXPECT_EQ(m_test.dialogs.boxes[0].text, u"1|10001");
    EXPECT_EQ(m_test.dialogs.boxes[0].owner, view.handle);

    // The page's update request asks first; Cancel keeps the client.
    m_test.dialogs.answers = {kIdCancel};
    EXPECT_EQ(main.OnMessage(kWmUpdateCheck, 0, 0), 0);
    EXPECT_EQ(m_test.dialogs.boxes.back().text, u"发现服务器有新版本，是否升级？");
    EXPECT_TRUE(m_test.shell.calls.empty());

    // The update button starts the updater, then the posted quit ends the run.
    main.OnCommand(res::kUpdateButton);
    ASSERT_EQ(m_test.shell.calls.size(), 1u);
    EXPECT_EQ(m_test.shell.calls[0].file, m_folder / u"KIVOUpdate.exe");
    EXPECT_TRUE(view.endResults.empty());  // not before the command has returned
    ASSERT_EQ(view.posted.size(), 1u);
    main.OnMessage(view.posted[0].message, view.posted[0].wParam, view.posted[0].lParam);
    EXPECT_EQ(view.endResults, std::vector<int>{kIdCancel});
    EXPECT_FALSE(view.trayIcon);
  });
}

// The portal shows the game folder: saving the settings tells it (code 10), closing them
// without saving does not.
TEST_F(ClientTest, SavedSettingsAreReportedToThePortal) {
  auto portal = std::make_shared<test::FakeScriptObject>(true);
  int answer = kIdOk;
  m_factory.whileModal[res::kSettingsDialog] = [&](test::FakeDialog& dialog) {
    dialog.events->OnCommand(answer);
  };
  Run([&] {
    EXPECT_EQ(Call(u"SetCallBack", {V::Object(portal)}).value.int32, 0);
    answer = res::kDialogCloseButton;
    m_client.MainWindow().OnCommand(res::kSettingsButton);
    EXPECT_TRUE(portal->Calls().empty());
    answer = kIdOk;
    m_client.MainWindow().OnCommand(res::kSettingsButton);
    ASSERT_EQ(portal->Calls().size(), 1u);
    EXPECT_EQ(portal->Calls()[0].name, u"OnDownloadProgress");
    EXPECT_EQ(portal->Calls()[0].args, (std::vector<int32_t>{10, 0, 0, 0}));
  });
}

// The update list's page reaches window.external under the same origin rule as the portal;
// its window methods and posted messages reach the update-log window, and its registration
// leaves the portal's download reports with the portal.
TEST_F(ClientTest, TheUpdateLogsPageHasWindowExternalOfItsOwn) {
  auto portal = std::make_shared<test::FakeScriptObject>(true);
  auto list = std::make_shared<test::FakeScriptObject>(true);
  m_factory.whileModal[res::kUpdateLogDialog] = [&](test::FakeDialog& dialog) {
    ExternalDispatcher* external = dialog.view.browserSite.external;
    ASSERT_NE(external, nullptr);
    EXPECT_NE(external, &m_client.Dispatcher());
    EXPECT_TRUE(dialog.view.browserSite.scrollBars);
    const std::u16string page = dialog.view.navigations.at(0);
    auto call = [&](std::u16string_view name, std::vector<ScriptValue> args,
                    std::u16string_view url) {
      return external->Invoke(FindMethod(name), args, url);
    };
    EXPECT_EQ(call(u"GetVersion", {}, page).error, kSOk);
    EXPECT_EQ(call(u"GetVersion", {}, u"http://elsewhere.example/").error, kEAccessDenied);
    EXPECT_EQ(static_cast<WindowHandle>(call(u"GetParentWindow", {}, page).value.int32),
              dialog.view.handle);
    EXPECT_EQ(static_cast<WindowHandle>(call(u"GetMainWindow", {}, page).value.int32),
              m_main->view.handle);
    EXPECT_EQ(call(u"SetCallBack", {V::Object(list)}, page).value.int32, 0);
    // web_OpenSetWnd posts to the update-log window, which handles none of the page's
    // requests: no settings window opens.
    EXPECT_TRUE(call(u"web_OpenSetWnd", {}, page).value.boolean);
    ASSERT_FALSE(m_test.windows.messages.empty());
    EXPECT_EQ(m_test.windows.messages.back().window, dialog.view.handle);
    EXPECT_EQ(dialog.events->OnMessage(kWmOpenSettings, 0, 0), 0);
    EXPECT_TRUE(m_factory.Of(res::kSettingsDialog).empty());
    dialog.events->OnCommand(res::kDialogCloseButton);
  };
  Run([&] {
    Call(u"SetCallBack", {V::Object(portal)});
    m_client.MainWindow().OnCommand(res::kCmdUpdateLog);
    EXPECT_TRUE(m_client.Page().ReportToPage(1, 0, 1, 50));
    EXPECT_EQ(portal->Calls().size(), 1u);
    EXPECT_TRUE(list->Calls().empty());
  });
}

TEST_F(ClientTest, OneSettingsWindowAtATime) {
  int nested = 0;
  m_factory.whileModal[res::kSettingsDialog] = [&](test::FakeDialog&) {
    // A page asking again while it runs (the modal loop still handles posted messages).
    ++nested;
    m_client.MainWindow().OnMessage(kWmOpenSettings, 0, 0);
  };
  Run([this] { m_client.MainWindow().OnCommand(res::kSettingsButton); });
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(m_factory.Of(res::kSettingsDialog).size(), 1u);
}

TEST_F(ClientTest, TheWindowModeRequestRetitlesTheOpenGameOnce) {
  m_test.windows.windows[0x4242] = {};
  m_test.windows.windowsByTitle[u"crossfire"] = 0x4242;
  m_test.windows.windowsByTitle[u"crossfire 2"] = 0x4343;  // only the exact title counts
  Run([this] {
    EXPECT_TRUE(Call(u"web_StartWndThread").value.boolean);
    DeliverPosted();
    // The watcher's last step clears the flag; the fake is not touched before.
    while (m_client.MainWindow().WindowModeBusy()) std::this_thread::yield();
  });
  EXPECT_EQ(
      m_test.windows.titleChanges,
      (std::vector<std::pair<WindowHandle, std::u16string>>{{0x4242, u"KIVO泽瓦助手窗口化"}}));
}

TEST_F(ClientTest, AClientClosingWhileTheWatcherWaitsEndsIt) {
  auto client = std::make_unique<ZevaClient>(ClientServices{m_test.platform, m_factory, m_http});
  std::atomic<bool>* busy = &client->MainWindow().WindowModeBusy();
  m_factory.whileModal[res::kMainDialog] = [&](test::FakeDialog&) {
    EXPECT_EQ(client->MainWindow().OnMessage(kWmStartWindowMode, 0, 0), 1);
    EXPECT_TRUE(*busy);  // no game: it waits
  };
  client->RunMainWindow();
  client.reset();  // joins the watcher: nothing of the client is left in use
  EXPECT_TRUE(m_test.windows.titleChanges.empty());
}

}  // namespace
}  // namespace zeva
