// window.external as the IE control's scripts reach it: through IDispatch, and from real
// JScript run by the system's script engine.
#include <windows.h>
// After windows.h:
#include <oleauto.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "fake_html_document.h"
#include "host/external_dispatcher.h"
#include "ports/win32/external_object.h"
#include "ports/win32/wide.h"
#include "script_harness.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

using test::TempFolder;
using test::TestPlatform;
using win32::Wide;

class ExternalObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override {
    m_external->Release();
    ::CoUninitialize();
  }

  // Evaluates a JScript expression with `external` in scope; the result as text.
  std::wstring Evaluate(const std::wstring& expression) {
    return test::EvaluateScript(expression, {{L"external", m_external}});
  }

  TempFolder m_folder;
  TestPlatform m_test{m_folder.Path()};
  PageRegistration m_page;
  ExternalDispatcher m_dispatcher{m_test.platform, m_page, ScriptHostLinks{}};
  std::u16string m_url = std::u16string(endpoints::kToolServer) + u"/CF30/CF_Index.aspx";
  IDispatch* m_external =
      new win32::ExternalObject(m_dispatcher, [this](IServiceProvider*) { return m_url; });
};

TEST_F(ExternalObjectTest, NamesAndRefusalsThroughIDispatch) {
  std::wstring name = L"getVERSION";
  LPOLESTR names[] = {name.data()};
  DISPID id = 0;
  EXPECT_EQ(m_external->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 1);
  std::wstring unknown = L"Format";
  names[0] = unknown.data();
  EXPECT_EQ(m_external->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);

  // ShowWindow("0", "abc"): the second argument fails, reported at its place in rgvarg (0).
  VARIANT args[2];
  ::VariantInit(&args[0]);
  ::VariantInit(&args[1]);
  V_VT(&args[1]) = VT_BSTR;
  V_BSTR(&args[1]) = ::SysAllocString(L"0");
  V_VT(&args[0]) = VT_BSTR;
  V_BSTR(&args[0]) = ::SysAllocString(L"abc");
  DISPPARAMS params{args, nullptr, 2, 0};
  VARIANT result;
  ::VariantInit(&result);
  UINT argumentError = 99;
  EXPECT_EQ(m_external->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr,
                               &argumentError),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argumentError, 0u);
  ::VariantClear(&args[0]);
  ::VariantClear(&args[1]);

  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(m_external->Invoke(17, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(m_external->Invoke(22, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                               &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(V_VT(&result), VT_BOOL);
  EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
}

TEST_F(ExternalObjectTest, RealJScriptCallsReachTheCore) {
  EXPECT_EQ(Evaluate(L"external.GetVersion()"), L"1");
  EXPECT_EQ(Evaluate(L"external.getversion()"), L"1");
  EXPECT_EQ(Evaluate(L"external.web_IsClient()"), L"-1");
  EXPECT_EQ(Evaluate(L"external.GetAppPath()"), Wide(m_folder.Path()));
  EXPECT_EQ(Evaluate(L"external.ShowWindow('0', 5)"), L"0");
  const std::wstring config = Wide(m_folder / u"config.ini");
  std::wstring escaped;
  for (wchar_t c : config) escaped += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
  EXPECT_EQ(Evaluate(L"external.SetConfigString('系统', 'k', 42, '" + escaped + L"')"), L"1");
  EXPECT_EQ(Evaluate(L"external.GetConfigString('系统', 'K', '" + escaped + L"')"), L"42");
  EXPECT_EQ(
      Evaluate(L"(function(){try{external.DeleteFile();return 0}catch(e){return e.number}})()"),
      std::to_wstring(static_cast<int32_t>(DISP_E_PARAMNOTOPTIONAL)));
  EXPECT_EQ(Evaluate(L"(function(){try{external.NoSuchMethod();return 0}catch(e){return 1}})()"),
            L"1");
}

// The add-on checks after the 29: their names through GetIDsOfNames, byte counts as VT_R8
// that JScript reads exactly past 2^31 (as far as 2^53), digests as text.
TEST_F(ExternalObjectTest, AddOnChecksThroughIDispatchAndJScript) {
  for (const auto& [name, expected] :
       {std::pair{L"getFILEsha256", 30}, std::pair{L"GetDiskFreeSpace", 31},
        std::pair{L"getdownloadtimeleft", 35}}) {
    std::wstring text = name;
    LPOLESTR names[] = {text.data()};
    DISPID id = 0;
    EXPECT_EQ(m_external->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, expected);
  }

  m_test.diskSpace.answer = (uint64_t{1} << 53) - 1;
  VARIANT folder, result;
  ::VariantInit(&folder);
  ::VariantInit(&result);
  V_VT(&folder) = VT_BSTR;
  V_BSTR(&folder) = ::SysAllocString(Wide(m_folder.Path()).c_str());
  DISPPARAMS params{&folder, nullptr, 1, 0};
  EXPECT_EQ(
      m_external->Invoke(31, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
      S_OK);
  EXPECT_EQ(V_VT(&result), VT_R8);
  EXPECT_EQ(V_R8(&result), 9007199254740991.0);
  ::VariantClear(&folder);

  std::wstring escaped;
  for (wchar_t c : Wide(m_folder.Path()))
    escaped += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
  EXPECT_EQ(Evaluate(L"String(external.GetDiskFreeSpace('" + escaped + L"') === 9007199254740991)"),
            L"true");
  EXPECT_EQ(Evaluate(L"external.GetDiskFreeSpace('" + escaped + L"missing')"), L"-1");
  test::WriteBytes(m_folder / u"a.zip", "abc");
  EXPECT_EQ(Evaluate(L"external.GetFileSha256('" + escaped + L"a.zip')"),
            L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Evaluate(L"typeof external.GetDownloadSpeed(17, 1)"), L"number");
  EXPECT_EQ(
      Evaluate(
          L"(function(){try{external.GetDownloadSpeed(17);return 0}catch(e){return e.number}})()"),
      std::to_wstring(static_cast<int32_t>(DISP_E_PARAMNOTOPTIONAL)));
}

TEST_F(ExternalObjectTest, ForeignPagesAreRefused) {
  m_url = u"http://evil.example/";
  EXPECT_EQ(
      Evaluate(L"(function(){try{external.GetVersion();return 0}catch(e){return e.number}})()"),
      std::to_wstring(static_cast<int32_t>(E_ACCESSDENIED)));
}

// Each call is judged by the frame whose script makes it, as the script engine tells through
// IDispatchEx: a frame of another origin inside the portal, a script outside any document and
// a caller-less call through plain IDispatch are refused like a foreign page.
TEST_F(ExternalObjectTest, CallsAreJudgedByTheCallingFramesAddress) {
  IDispatch* external = new win32::ExternalObject(m_dispatcher);
  IDispatchEx* extended = nullptr;
  ASSERT_EQ(external->QueryInterface(win32::kIidDispatchEx, reinterpret_cast<void**>(&extended)),
            S_OK);
  const std::wstring tool = Wide(std::u16string(endpoints::kToolServer));
  const std::pair<std::wstring, HRESULT> frames[] = {
      {Wide(m_url), S_OK},
      {tool + L"/manager/update/list.html", S_OK},
      {L"http://evil.example/frame.html", E_ACCESSDENIED},
      {tool + L".evil.example/", E_ACCESSDENIED},
      {L"about:blank", E_ACCESSDENIED},
  };
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  for (const auto way : {test::FakeCaller::Way::kContainer, test::FakeCaller::Way::kThroughSite,
                         test::FakeCaller::Way::kNothing}) {
    for (const auto& [frame, expected] : frames) {
      test::CallingDocument document(frame);
      test::FakeCaller caller(way, &document);
      VARIANT result;
      ::VariantInit(&result);
      EXPECT_EQ(extended->InvokeEx(1, 0, DISPATCH_METHOD, &none, &result, nullptr, &caller),
                way == test::FakeCaller::Way::kNothing ? E_ACCESSDENIED : expected)
          << static_cast<int>(way) << " " << std::string(frame.begin(), frame.end());
      ::VariantClear(&result);
    }
  }
  // No caller at all, and plain IDispatch (which has none): no answer.
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_EQ(extended->InvokeEx(1, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            E_ACCESSDENIED);
  EXPECT_EQ(external->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            E_ACCESSDENIED);
  // The system's own script engine, run by a site that serves its document as a browser's
  // script host does: a foreign frame or a script outside any document is never answered.
  // (Wine 8's JScript hands over a caller that leads to no document, GetScriptSite included:
  // there even the portal's own frame is refused; engines that lead to the site answer it.)
  const std::wstring call =
      L"(function(){try{external.GetVersion();return 0}catch(e){return e.number}})()";
  const std::wstring refused = std::to_wstring(static_cast<int32_t>(E_ACCESSDENIED));
  EXPECT_EQ(test::EvaluateScript(call, {{L"external", external}}, L"http://evil.example/f.html"),
            refused);
  EXPECT_EQ(test::EvaluateScript(call, {{L"external", external}}), refused);
  const std::wstring portal = test::EvaluateScript(call, {{L"external", external}}, Wide(m_url));
  EXPECT_TRUE(portal == L"0" || portal == refused) << portal;
  BSTR name = ::SysAllocString(L"getversion");
  DISPID id = 0;
  EXPECT_EQ(extended->GetDispID(name, fdexNameCaseInsensitive, &id), S_OK);
  EXPECT_EQ(id, 1);
  ::SysFreeString(name);
  extended->Release();
  external->Release();
}

// Serves the calling thread's messages, as the page's thread does between its scripts.
void ServeMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}

// Runs `report` on another thread; this one, the page's, serves its messages meanwhile or not.
bool FromAnotherThread(const std::function<bool()>& report, bool serve) {
  std::atomic<bool> done{false};
  bool result = false;
  std::thread other([&] {
    result = report();
    done = true;
  });
  while (serve && !done) {
    ServeMessages();
    ::Sleep(1);
  }
  other.join();
  return result;
}

// A page's document as the browser control hands it to SetCallBack: registered only when the
// browser says it is its top document, and called on the page's own thread, from any thread,
// only while shown.
TEST(PageObjectTest, RegistrationAndReportsFollowTheBrowsersFacts) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  using std::chrono::milliseconds;
  for (const bool freeThreaded : {true, false}) {
    SCOPED_TRACE(freeThreaded ? "free-threaded" : "apartment-threaded");
    test::FakeHtmlDocument document(freeThreaded);
    {
      PageRegistration page;

      // No browser to ask: a document, yet not known as a top page's.
      const auto unknown = win32::WrapPageObject(&document);
      EXPECT_TRUE(unknown->IsHtmlDocument());
      EXPECT_FALSE(unknown->IsTopDocument());
      page.SetCallBack(unknown);
      EXPECT_FALSE(page.HasRegistration());

      // Facts never make a document of an object that is none.
      test::FakeScript notADocument;
      EXPECT_FALSE(win32::WrapPageObject(&notADocument, {true, nullptr, 0})->IsTopDocument());

      auto shown = std::make_shared<std::atomic<uint64_t>>(3);
      const auto registered = win32::WrapPageObject(&document, {true, shown, 3});
      page.SetCallBack(registered);
      ASSERT_TRUE(page.HasRegistration());
      EXPECT_TRUE(FromAnotherThread([&] { return page.ReportToPage(2, 10, 20, -1); }, true));
      ASSERT_EQ(document.script.Calls().size(), 1u);
      EXPECT_EQ(document.script.Calls()[0], (std::vector<int32_t>{2, 10, 20, -1}));

      // A page's thread that serves nothing: the report gives up at its deadline, and the
      // page still gets it, in order, when its thread comes back.
      const int32_t late[] = {1, 10, 20, 40};
      EXPECT_FALSE(FromAnotherThread(
          [&] {
            return registered->CallPageFunction(u"OnDownloadProgress", late, milliseconds(100));
          },
          false));
      EXPECT_EQ(document.script.Calls().size(), 1u);
      // On the page's own thread a report is queued, never waited for.
      EXPECT_TRUE(page.ReportToPage(1, 10, 20, 50));
      EXPECT_EQ(document.script.Calls().size(), 1u);
      ServeMessages();
      ASSERT_EQ(document.script.Calls().size(), 3u);
      EXPECT_EQ(document.script.Calls()[1][3], 40);
      EXPECT_EQ(document.script.Calls()[2][3], 50);
      for (const DWORD thread : document.script.Threads()) {
        EXPECT_EQ(thread, ::GetCurrentThreadId());
      }

      // The browser moves on while a report waits: the wait ends at once, the old page gets
      // nothing, and later reports stop.
      const auto start = std::chrono::steady_clock::now();
      std::thread browser([&] {
        ::Sleep(100);
        ++*shown;
      });
      EXPECT_FALSE(FromAnotherThread([&] { return page.ReportToPage(1, 10, 20, 60); }, false));
      browser.join();
      EXPECT_LT(std::chrono::steady_clock::now() - start, kPageReportWait / 2);
      EXPECT_FALSE(FromAnotherThread([&] { return page.ReportToPage(1, 10, 20, 70); }, true));
      ServeMessages();
      EXPECT_EQ(document.script.Calls().size(), 3u);
    }
    // Every hold on the document ends with the objects that wrapped it.
    EXPECT_EQ(document.References(), 1u);
  }
  ::CoUninitialize();
}

// SetCallBack through IDispatch asks the browser about the very object the page passed.
TEST_F(ExternalObjectTest, SetCallBackAsksTheBrowserAboutThePassedObject) {
  test::FakeHtmlDocument document;  // outlives the registration below
  PageRegistration page;
  ExternalDispatcher dispatcher{m_test.platform, page, ScriptHostLinks{}};
  IDispatch* asked = nullptr;
  auto* external = new win32::ExternalObject(
      dispatcher, [this](IServiceProvider*) { return m_url; },
      [&](IDispatch* object) {
        asked = object;
        return win32::PageFacts{object == &document, nullptr, 0};
      });
  VARIANT argument;
  ::VariantInit(&argument);
  V_VT(&argument) = VT_DISPATCH;
  V_DISPATCH(&argument) = &document;
  DISPPARAMS params{&argument, nullptr, 1, 0};
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_EQ(external->Invoke(11, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(V_I4(&result), 0);
  EXPECT_EQ(asked, &document);
  EXPECT_TRUE(page.HasRegistration());
  external->Release();
}

}  // namespace
}  // namespace zeva
