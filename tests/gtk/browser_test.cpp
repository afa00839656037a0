// The GTK browser with its web-process extension: real pages calling window.external
// synchronously, and reports reaching the page's OnDownloadProgress from other threads.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "host/external_dispatcher.h"
#include "platform/unicode.h"
#include "ports/gtk/gtk_system.h"
#include "ports/gtk/load_error.h"
#include "ports/gtk/webkit_browser.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "support/web_view_driver.h"
#include "zeva/endpoints.h"

namespace zeva::gtk {
namespace {

using test::TempFolder;
using test::TestPlatform;

const std::string kPortalBase = "http://127.0.0.1:8088/CF30/CF_Index.aspx";

class BrowserTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }

  BrowserTest() {
    m_window = gtk_offscreen_window_new();
    gtk_window_set_default_size(GTK_WINDOW(m_window), 798, 567);
    gtk_container_add(GTK_CONTAINER(m_window), m_browser.Widget());
    gtk_widget_show_all(m_window);
  }
  ~BrowserTest() override { gtk_widget_destroy(m_window); }

  WebKitWebView* View() const { return WEBKIT_WEB_VIEW(m_browser.Widget()); }

  void RunUntil(const std::function<bool()>& done) {
    ASSERT_TRUE(test::RunUntil(done)) << "timed out";
  }

  void Load(const std::string& body, const std::string& base = kPortalBase) {
    ASSERT_TRUE(test::LoadAndWait(View(), [&] {
      m_browser.LoadHtml("<!DOCTYPE html><html><body>" + body + "</body></html>", base);
    }));
  }

  std::string Eval(const std::string& script) { return test::Evaluate(View(), script); }

  // Reports from a thread of its own, while this thread keeps the page running.
  bool ReportFromThread(int32_t code, int32_t high, int32_t low, int32_t value) {
    std::atomic<bool> finished{false};
    bool called = false;
    std::thread reporter([&] {
      called = m_page.ReportToPage(code, high, low, value);
      finished = true;
    });
    RunUntil([&] { return finished.load(); });
    reporter.join();
    return called;
  }

  TempFolder m_folder;
  TestPlatform m_test{m_folder.Path()};
  PageRegistration m_page;
  ExternalDispatcher m_dispatcher{m_test.platform, m_page, ScriptHostLinks{}};
  WebKitBrowser m_browser{
      ZEVA_BUILD_WEB_EXTENSION_DIR,
      [this](int32_t id, std::span<const ScriptValue> args, std::u16string_view url) {
        return m_dispatcher.Invoke(id, args, url);
      },
      m_test.dialogs, m_test.shell, [] { return 0u; }};
  GtkWidget* m_window = nullptr;
};

TEST_F(BrowserTest, PagesCallTheClientSynchronously) {
  Load("<p>portal</p>");
  EXPECT_EQ(Eval("1+1"), "2");
  EXPECT_EQ(Eval("String(typeof external)"), "object");
  EXPECT_EQ(Eval("external.GetVersion()"), "1");
  EXPECT_EQ(Eval("window.external.getversion()"), "1");
  EXPECT_EQ(Eval("external.web_IsClient()"), "true");
  EXPECT_EQ(Eval("typeof external.NoSuchMethod"), "undefined");
  EXPECT_EQ(Eval("external.ShowWindow('0', 5)"), "0");
  EXPECT_EQ(Eval("external.GetAppPath()"), m_folder.Native().string() + "/");
  EXPECT_EQ(
      Eval("(function(){try{external.DeleteFile();return 'ran'}catch(e){return e.number}})()"),
      std::to_string(static_cast<int32_t>(0x8002000F)));
  const std::string config = m_folder.Native().string() + "/config.ini";
  EXPECT_EQ(Eval("external.SetConfigString('系统', '键', '穿越火线', '" + config + "')"), "1");
  EXPECT_EQ(Eval("external.GetConfigString('系统', '键', '" + config + "')"), "穿越火线");
}

TEST_F(BrowserTest, AllNamesAnswerInAnyLetterCase) {
  Load("<p>names</p>");
  std::string names;
  for (const MethodInfo& method : MethodTable()) {
    names += "'" + Utf16ToUtf8(method.name) + "',";
  }
  EXPECT_EQ(Eval("(function(){var n=[" + names +
                 "],bad=[];for(var i=0;i<n.length;i++){"
                 "if(typeof external[n[i]]!=='function'||"
                 "typeof external[n[i].toLowerCase()]!=='function'||"
                 "typeof external[n[i].toUpperCase()]!=='function')bad.push(n[i]);}"
                 "return n.length+':'+bad.join(',');})()"),
            std::to_string(kMethodCount) + ":");
  // Methods that need no window or file answer from the page as they do natively.
  EXPECT_EQ(Eval("external.ShowPageWindow()===undefined"), "true");
  EXPECT_EQ(Eval("external.GetFilePath('/nonexistent/x')"), "");
  EXPECT_EQ(Eval("external.GetRegString(9, 'Software', '')"), "");
  EXPECT_EQ(Eval("external.web_OpenSetWnd()"), "true");
  EXPECT_EQ(Eval("external.UnzipFile('', '')"), "0");
  EXPECT_EQ(
      Eval("(function(){try{external.GetVersion(1);return 'ran'}catch(e){return e.number}})()"),
      std::to_string(static_cast<int32_t>(0x8002000E)));
  EXPECT_EQ(
      Eval("(function(){try{external.ShowWindow(0,'x');return 'ran'}catch(e){return e.number}})()"),
      std::to_string(static_cast<int32_t>(0x80020005)));
}

// Byte counts past 2^31 reach the page as exact numbers (as far as 2^53); digests as text.
TEST_F(BrowserTest, AddOnChecksReachThePageWithTheirTypes) {
  Load("<p>checks</p>");
  const std::string folder = m_folder.Native().string();
  m_test.diskSpace.answer = (uint64_t{1} << 53) - 1;
  EXPECT_EQ(Eval("external.GetDiskFreeSpace('" + folder + "')"), "9007199254740991");
  EXPECT_EQ(Eval("typeof external.getdiskfreespace('" + folder + "/missing')"), "number");
  EXPECT_EQ(Eval("external.GetDiskFreeSpace('" + folder + "/missing')"), "-1");
  test::WriteBytes(m_folder / u"a.zip", "abc");
  EXPECT_EQ(Eval("external.GetFileSha256('" + folder + "/a.zip')"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Eval("external.GetDownloadTimeLeft(17, 1)"), "-1");  // no engine here
}

TEST_F(BrowserTest, PagesFromElsewhereAreRefused) {
  Load("<p>elsewhere</p>", "http://example.invalid/page.html");
  EXPECT_EQ(
      Eval("(function(){try{external.GetVersion();return 'ran'}catch(e){return e.number}})()"),
      std::to_string(static_cast<int32_t>(0x80070005)));
}

TEST_F(BrowserTest, ReportsReachTheRegisteredDocument) {
  Load(
      "<iframe id='f' srcdoc='<p>inner</p>'></iframe>"
      "<script>var reports=[];function OnDownloadProgress(c,h,l,v){reports.push([c,h,l,v]);}"
      "</script>");
  EXPECT_FALSE(ReportFromThread(1, 0, 1, 10));  // nothing registered yet

  EXPECT_EQ(Eval("external.SetCallBack(window)"), "0");
  EXPECT_EQ(Eval("external.SetCallBack(Object.create(HTMLDocument.prototype))"), "0");
  EXPECT_EQ(Eval("external.SetCallBack(document.body)"), "0");
  // A frame's document is not the page's: reports would go to the page, not the frame.
  EXPECT_EQ(Eval("external.SetCallBack(document.getElementById('f').contentDocument)"), "0");
  EXPECT_FALSE(m_page.HasRegistration());

  EXPECT_EQ(Eval("external.SetCallBack(document)"), "0");
  EXPECT_TRUE(m_page.HasRegistration());
  EXPECT_TRUE(ReportFromThread(1, 5, -1, 40));
  EXPECT_TRUE(ReportFromThread(2, 5, -1, 100));
  EXPECT_EQ(Eval("JSON.stringify(reports)"), "[[1,5,-1,40],[2,5,-1,100]]");

  // A new page that has not registered receives nothing.
  Load("<script>var reports=[];function OnDownloadProgress(){reports.push(1);}</script>");
  EXPECT_FALSE(ReportFromThread(1, 0, 0, 50));
  EXPECT_EQ(Eval("reports.length"), "0");
}

TEST_F(BrowserTest, AnUnreachableServerShowsTheChineseErrorPage) {
  // A loopback port nothing listens on (and one WebKit does not block).
  const std::string address = "http://127.0.0.1:39127/CF30/CF_Index.aspx?ToolId=1";
  test::LoadAndWait(View(), [&] { m_browser.Navigate(Utf8ToUtf16(address)); });
  RunUntil([&] { return Eval("document.title") == "无法打开页面"; });
  EXPECT_EQ(Eval("document.title"), "无法打开页面");
  EXPECT_EQ(Eval("document.querySelector('a').getAttribute('href')"), address);
}

TEST_F(BrowserTest, PageDialogsAreTheClientsMessageBoxes) {
  Load("<p>dialogs</p>");
  m_test.dialogs.answers = {kIdOk, kIdCancel};
  EXPECT_EQ(Eval("alert('你好'); confirm('继续吗？')"), "false");
  ASSERT_EQ(m_test.dialogs.boxes.size(), 2u);
  EXPECT_EQ(m_test.dialogs.boxes[0].text, u"你好");
  EXPECT_EQ(m_test.dialogs.boxes[1].text, u"继续吗？");
  // As the Internet Explorer control shows them: its caption, an alert's exclamation icon,
  // a confirmation's question icon.
  EXPECT_EQ(m_test.dialogs.boxes[0].caption, u"来自网页的消息");
  EXPECT_EQ(m_test.dialogs.boxes[0].style, kMbOk | kMbIconExclamation);
  EXPECT_EQ(m_test.dialogs.boxes[1].caption, u"来自网页的消息");
  EXPECT_EQ(m_test.dialogs.boxes[1].style, kMbOkCancel | kMbIconQuestion);
}

// WebKit's reasons in the client's words: a server that cannot be reached (whatever layer
// says so) gets the client's page; a cancelled load, a download or a type WebKit cannot show
// keeps what is showing.
TEST(LoadErrorTest, WebKitsReasonsInTheClientsWords) {
  struct Case {
    GQuark domain;
    int code;
    NavigationFailure expected;
  };
  const Case cases[] = {
      {WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FAILED, NavigationFailure::kCannotConnect},
      {WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_TRANSPORT, NavigationFailure::kCannotConnect},
      {WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED, NavigationFailure::kCancelled},
      {WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL,
       NavigationFailure::kOtherProgram},
      {WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_CANNOT_SHOW_MIME_TYPE,
       NavigationFailure::kNotShown},
      {WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE,
       NavigationFailure::kNotShown},
      {G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED, NavigationFailure::kCannotConnect},
      {G_IO_ERROR, G_IO_ERROR_TIMED_OUT, NavigationFailure::kCannotConnect},
      {G_IO_ERROR, G_IO_ERROR_CANCELLED, NavigationFailure::kCancelled},
      {G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, NavigationFailure::kCannotConnect},
      {G_TLS_ERROR, G_TLS_ERROR_BAD_CERTIFICATE, NavigationFailure::kCertificate},
      {g_quark_from_static_string("some-other-error"), 3, NavigationFailure::kUnknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyLoadError(c.domain, c.code), c.expected)
        << g_quark_to_string(c.domain) << " " << c.code;
  }
}

// The page's alert and confirm as real message boxes, answered from the keyboard.
TEST(BrowserDialogsTest, AlertsAndConfirmsAreAnsweredWithTheKeyboard) {
  gtk_init(nullptr, nullptr);
  test::TempFolder folder;
  TestPlatform test(folder.Path());
  GtkDialogs dialogs;
  PageRegistration page;
  ExternalDispatcher dispatcher(test.platform, page, ScriptHostLinks{});
  WebKitBrowser browser(
      ZEVA_BUILD_WEB_EXTENSION_DIR,
      [&](int32_t id, std::span<const ScriptValue> args, std::u16string_view url) {
        return dispatcher.Invoke(id, args, url);
      },
      dialogs, test.shell, [] { return 0u; });
  GtkWidget* window = gtk_offscreen_window_new();
  gtk_container_add(GTK_CONTAINER(window), browser.Widget());
  gtk_widget_show_all(window);
  ASSERT_TRUE(test::LoadAndWait(WEBKIT_WEB_VIEW(browser.Widget()),
                                [&] { browser.LoadHtml("<p>dialogs</p>", kPortalBase); }));

  auto answerWith = [](const char* key) {
    const std::string command = std::string(
                                    "xdotool search --sync --name '^来自网页的消息$' "
                                    "windowfocus --sync key ") +
                                key + " &";
    return std::system(command.c_str()) == 0;
  };
  WebKitWebView* view = WEBKIT_WEB_VIEW(browser.Widget());
  ASSERT_TRUE(answerWith("Return"));
  EXPECT_EQ(test::Evaluate(view, "confirm('继续吗？')"), "true");
  ASSERT_TRUE(answerWith("Escape"));
  EXPECT_EQ(test::Evaluate(view, "confirm('继续吗？')"), "false");
  ASSERT_TRUE(answerWith("Return"));
  EXPECT_EQ(test::Evaluate(view, "alert('你好'); 'after'"), "after");
  gtk_widget_destroy(window);
}

}  // namespace
}  // namespace zeva::gtk
