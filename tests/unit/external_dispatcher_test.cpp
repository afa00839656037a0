#include <gtest/gtest.h>

#include <thread>

#include "app/text_codecs.h"
#include "game/profile.h"
#include "host/external_dispatcher.h"
#include "host/origin.h"
#include "platform/path_style.h"
#include "support/fake_script_object.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

using test::FakeScriptObject;
using test::ReadBytes;
using test::TempFolder;
using test::TestPlatform;
using test::WriteBytes;
using V = ScriptValue;

constexpr WindowHandle kMain = 0x100;
constexpr WindowHandle kBrowser = 0x200;

class DispatcherTest : public ::testing::Test {
 protected:
  DispatcherTest() {
    m_test.windows.windows[kMain] = {};
    m_test.windows.windows[kBrowser] = {};
  }

  InvokeResult Call(std::u16string_view name, std::vector<ScriptValue> args = {},
                    std::u16string_view page = m_portal) {
    const int32_t id = FindMethod(name);
    EXPECT_NE(id, 0) << std::string(name.begin(), name.end());
    return m_dispatcher.Invoke(id, args, page);
  }
  std::u16string Text(std::u16string_view name, std::vector<ScriptValue> args = {}) {
    const InvokeResult result = Call(name, std::move(args));
    EXPECT_EQ(result.error, kSOk);
    return result.value.text;
  }
  int32_t Number(std::u16string_view name, std::vector<ScriptValue> args = {}) {
    const InvokeResult result = Call(name, std::move(args));
    EXPECT_EQ(result.error, kSOk);
    return result.value.type == ScriptValue::Type::kBool ? (result.value.boolean ? -1 : 0)
                                                         : result.value.int32;
  }
  std::u16string Config() const { return m_folder / u"config.ini"; }

  static inline const std::u16string m_portal =
      std::u16string(endpoints::kToolServer) + u"/CF30/CF_Index.aspx?ToolId=1";
  TempFolder m_folder;
  TestPlatform m_test{m_folder.Path()};
  PageRegistration m_page;
  ScriptHostLinks m_links{[] { return kMain; }, [] { return kMain; }, [] { return kBrowser; },
                          nullptr, nullptr};
  ExternalDispatcher m_dispatcher{m_test.platform, m_page, m_links, {u"zeva://app"}};
};

TEST(MethodTableTest, NamesAndIdentifiers) {
  EXPECT_EQ(FindMethod(u"GetVersion"), 1);
  EXPECT_EQ(FindMethod(u"getversion"), 1);
  EXPECT_EQ(FindMethod(u"DownloadFile"), 9);
  EXPECT_EQ(FindMethod(u"UNZIPFILE"), 16);
  EXPECT_EQ(FindMethod(u"web_usethunder"), 29);
  EXPECT_EQ(FindMethod(u"web_UseThunde"), 0);
  EXPECT_EQ(FindMethod(u""), 0);
  EXPECT_EQ(MethodTable().size(), static_cast<size_t>(kMethodCount));
  EXPECT_EQ(MethodTable()[19].name, u"GetRegString");
}

TEST_F(DispatcherTest, VersionAndIsClientAnswerOne) {
  EXPECT_EQ(Call(u"getversion").value.int32, 1);
  const InvokeResult isClient = Call(u"web_IsClient");
  EXPECT_EQ(isClient.value.type, ScriptValue::Type::kBool);
  EXPECT_TRUE(isClient.value.boolean);
}

TEST_F(DispatcherTest, RefusedCallsDoNothing) {
  const std::u16string file = m_folder / u"keep.txt";
  WriteBytes(file, "x");
  EXPECT_EQ(Call(u"DeleteFile").error, kDispEParamNotOptional);
  EXPECT_EQ(Call(u"GetVersion", {V::Int32(1)}).error, kDispEBadParamCount);
  EXPECT_EQ(Call(u"DeleteFile", {V::String(file), V::String(file)}).error, kDispEBadParamCount);
  EXPECT_EQ(m_dispatcher.Invoke(kMethodCount + 1, {}, m_portal).error, kDispEMemberNotFound);
  EXPECT_EQ(m_dispatcher.Invoke(0, {}, m_portal).error, kDispEMemberNotFound);

  const InvokeResult mismatch =
      Call(u"SendMessage", {V::Int32(kMain), V::Int32(16), V::String(u"abc"), V::Int32(0)});
  EXPECT_EQ(mismatch.error, kDispETypeMismatch);
  EXPECT_EQ(mismatch.argumentIndex, 2u);
  const InvokeResult overflow = Call(u"ShowWindow", {V::Double(3e10), V::Int32(5)});
  EXPECT_EQ(overflow.error, kDispEOverflow);
  EXPECT_EQ(overflow.argumentIndex, 0u);
  EXPECT_EQ(Call(u"DeleteFile", {V::Null()}).error, kDispETypeMismatch);
  EXPECT_TRUE(m_test.windows.messages.empty());
  EXPECT_EQ(ReadBytes(file), "x");
}

TEST_F(DispatcherTest, PagesFromOtherOriginsAreRefused) {
  const std::u16string file = m_folder / u"keep.txt";
  WriteBytes(file, "x");
  for (std::u16string_view page :
       {u"http://evil.example/", u"http://127.0.0.1:8089/CF30/", u"https://127.0.0.1:8088/",
        u"file:///tmp/x.html", u"about:blank", u""}) {
    EXPECT_EQ(Call(u"DeleteFile", {V::String(file)}, page).error, kEAccessDenied);
  }
  EXPECT_EQ(ReadBytes(file), "x");
  // The tool server's origin in another spelling, and the client's own pages, are trusted.
  EXPECT_EQ(Call(u"GetVersion", {}, u"HTTP://127.0.0.1:8088/manager/update/x.aspx").error, kSOk);
  EXPECT_EQ(Call(u"GetVersion", {}, u"zeva://app/offline.html").error, kSOk);
}

TEST(OriginTest, OnlyWebAddressesMayOpenOutsideTheClient) {
  for (std::u16string_view url : {u"http://a.example/x", u"HTTPS://a.example:444/"}) {
    EXPECT_TRUE(IsWebAddress(url));
  }
  for (std::u16string_view url : {u"file:///C:/Windows/notepad.exe", u"C:\\x.exe", u"about:blank",
                                  u"javascript:alert(1)", u"mailto:a@b", u"", u"http:/x"}) {
    EXPECT_FALSE(IsWebAddress(url));
  }
}

TEST_F(DispatcherTest, ArgumentsAreConvertedToTheirTypes) {
  // The text "0" becomes the number 0: no such window, answer 0.
  EXPECT_EQ(Number(u"ShowWindow", {V::String(u"0"), V::Int32(5)}), 0);
  EXPECT_EQ(
      Number(u"SendMessage", {V::String(u" 256 "), V::Double(16.0), V::Boolean(true), V::Empty()}),
      0);
  ASSERT_FALSE(m_test.windows.messages.empty());
  const test::WindowMessage sent = m_test.windows.messages.back();
  EXPECT_EQ(sent.window, 256u);
  EXPECT_EQ(sent.message, 16u);
  EXPECT_EQ(sent.wParam, 0xFFFFFFFFu);  // true is -1
  EXPECT_EQ(sent.lParam, 0);
  // A number for a string parameter arrives as its text.
  EXPECT_EQ(Text(u"GetConfigString", {V::Int32(5), V::Double(2.5), V::String(Config())}), u"");
}

TEST_F(DispatcherTest, WindowMethods) {
  m_test.windows.windows[kMain].answer = 77;
  EXPECT_EQ(Number(u"SendMessage", {V::Int32(kMain), V::Int32(0x10), V::Int32(0), V::Int32(0)}),
            77);
  EXPECT_EQ(Number(u"GetMainWindow"), static_cast<int32_t>(kMain));
  EXPECT_EQ(Number(u"GetParentWindow"), static_cast<int32_t>(kMain));

  Call(u"MoveWindow");
  EXPECT_EQ(m_test.windows.messages.back(), (test::WindowMessage{kMain, 0x0112, 0xF012, 0, false}));

  Call(u"MaxOrNormalWindow");
  EXPECT_TRUE(m_test.windows.IsMaximized(kMain));
  Call(u"MaxOrNormalWindow");
  EXPECT_FALSE(m_test.windows.IsMaximized(kMain));
  EXPECT_EQ(m_test.windows.showCommands.back().second, kSwShowNormal);

  EXPECT_EQ(Number(u"ShowWindow", {V::Int32(kMain), V::Int32(kSwHide)}), 1);  // was visible
  EXPECT_EQ(Number(u"ShowWindow", {V::Int32(kMain), V::Int32(kSwShow)}), 0);  // was hidden
  EXPECT_EQ(Call(u"ShowPageWindow").value.type, ScriptValue::Type::kEmpty);
}

TEST_F(DispatcherTest, RequestsArePostedToTheHostWindow) {
  EXPECT_TRUE(Call(u"web_OpenSetWnd").value.boolean);
  EXPECT_TRUE(Call(u"web_StartWndThread").value.boolean);
  EXPECT_TRUE(Call(u"web_UpdateBegin").value.boolean);
  EXPECT_TRUE(Call(u"web_UseThunder").value.boolean);
  const std::vector<test::WindowMessage> expected{{kMain, 2026, 0, 0, true},
                                                  {kMain, 2027, 0, 0, true},
                                                  {kMain, 2028, 0, 0, true},
                                                  {kMain, 2029, 0, 0, true}};
  EXPECT_EQ(m_test.windows.messages, expected);
}

TEST_F(DispatcherTest, FileMethods) {
  EXPECT_EQ(Text(u"GetAppPath"), m_folder.Path());
  const std::u16string a = m_folder / u"a.txt", b = m_folder / u"b.txt";
  WriteBytes(a, "A");
  WriteBytes(b, "B");
  EXPECT_NE(Number(u"CopyFile", {V::String(a), V::String(b)}), 0);
  EXPECT_EQ(ReadBytes(b), "A");
  WriteBytes(a, "A2");
  EXPECT_NE(Number(u"MoveFile", {V::String(a), V::String(b)}), 0);
  EXPECT_EQ(ReadBytes(b), "A2");
  // A move from a missing source fails and keeps the target.
  EXPECT_EQ(Number(u"MoveFile", {V::String(a), V::String(b)}), 0);
  EXPECT_EQ(ReadBytes(b), "A2");
  EXPECT_NE(Number(u"DeleteFile", {V::String(b)}), 0);
  EXPECT_EQ(Number(u"DeleteFile", {V::String(b)}), 0);
}

TEST_F(DispatcherTest, GetFilePathCutsTheArgument) {
  const std::u16string game = m_folder / u"Games";
  ASSERT_TRUE(m_test.files.CreateFolder(game));
  const std::u16string launcher = game + kPathSeparator + u"QQLogin.exe";
  WriteBytes(launcher, "MZ");
  EXPECT_EQ(Text(u"GetFilePath", {V::String(launcher)}), game + kPathSeparator);
  EXPECT_EQ(Text(u"GetFilePath", {V::String(game + kPathSeparator + u"QQ*.exe")}),
            game + kPathSeparator);
  EXPECT_EQ(Text(u"GetFilePath", {V::String(game + kPathSeparator + u"missing.exe")}), u"");
  EXPECT_EQ(Text(u"GetFilePath", {V::String(u"QQLogin.exe")}), u"");  // bare name
}

TEST_F(DispatcherTest, ConfigMethods) {
  EXPECT_EQ(
      Number(u"SetConfigString", {V::String(u"Page Section"), V::String(u"键"),
                                  V::String(std::u16string(10000, u'x')), V::String(Config())}),
      1);
  EXPECT_EQ(
      Text(u"GetConfigString", {V::String(u"page section"), V::String(u"键"), V::String(Config())})
          .size(),
      8191u);
  EXPECT_EQ(Text(u"GetConfigString",
                 {V::String(u"CF Info"), V::String(u"FOLDER"), V::String(m_folder / u"none.ini")}),
            u"");
  EXPECT_EQ(Number(u"SetConfigString",
                   {V::String(u"s"), V::String(u"k"), V::String(u"a\nb"), V::String(Config())}),
            0);
}

TEST_F(DispatcherTest, GetRegStringReadsOnlyThePredefinedRoots) {
  m_test.registry.values[{1, u"Software\\X", u""}] = u"default";
  m_test.registry.values[{2, u"Software\\X", u"Path"}] = u"C:\\CF";
  EXPECT_EQ(Text(u"GetRegString", {V::Int32(1), V::String(u"Software\\X"), V::String(u"")}),
            u"default");
  EXPECT_EQ(Text(u"GetRegString", {V::Int32(2), V::String(u"Software\\X"), V::String(u"Path")}),
            u"C:\\CF");
  EXPECT_EQ(Text(u"GetRegString", {V::Int32(3), V::String(u"Software\\X"), V::String(u"")}), u"");
  EXPECT_EQ(
      Text(u"GetRegString", {V::Int32(-2147483647), V::String(u"Software\\X"), V::String(u"")}),
      u"");
  EXPECT_EQ(Text(u"GetRegString", {V::Int32(6), V::String(u"Software\\X"), V::String(u"")}), u"");
}

TEST_F(DispatcherTest, RunExeShowsTheFailureBox) {
  EXPECT_TRUE(Call(u"RunExe", {V::String(u"C:\\CF\\QQLogin.exe")}).value.boolean);
  ASSERT_EQ(m_test.shell.calls.size(), 1u);
  EXPECT_EQ(m_test.shell.calls[0].verb, u"open");
  EXPECT_EQ(m_test.shell.calls[0].show, kSwShowNormal);
  EXPECT_TRUE(m_test.dialogs.boxes.empty());

  m_test.shell.succeed = false;
  EXPECT_FALSE(Call(u"RunExe", {V::String(u"C:\\CF\\QQLogin.exe")}).value.boolean);
  ASSERT_EQ(m_test.dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_test.dialogs.boxes[0].text, u"游戏运行失败，请检查游戏目录是否正确！");
  EXPECT_EQ(m_test.dialogs.boxes[0].caption, u"ZEVA");
  EXPECT_EQ(m_test.dialogs.boxes[0].style, kMbOk | kMbIconExclamation);
}

TEST_F(DispatcherTest, EnginesNotYetPresentAnswerFailure) {
  EXPECT_EQ(Number(u"DownloadFile",
                   {V::String(u"http://x/a.zip"), V::String(u"a.zip"), V::Int32(1), V::Int32(2)}),
            0);
  EXPECT_EQ(Number(u"PauseDownload", {V::Int32(1), V::Int32(2)}), 0);
}

TEST_F(DispatcherTest, UnzipFileReachesTheExtractor) {
  // A missing archive fails; a real one is unpacked (the extractor's own tests cover the rest).
  EXPECT_EQ(Number(u"UnzipFile", {V::String(m_folder / u"none.zip"), V::String(m_folder / u"x")}),
            0);
  // The smallest valid archive: an empty central directory.
  const std::u16string empty = m_folder / u"empty.zip";
  WriteBytes(empty, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  EXPECT_EQ(Number(u"UnzipFile", {V::String(empty), V::String(m_folder / u"out")}), 1);
}

TEST_F(DispatcherTest, LoginRecordIsWrittenInOrder) {
  EXPECT_TRUE(Call(u"web_UserLogin", {V::String(u"玩家"), V::String(u"pass")}).value.boolean);
  EXPECT_EQ(ReadBytes(Config()),
            "[system]\r\nUID=\xCD\xE6\xBC\xD2\r\nUWD=cGFzcw==\r\n"
            "MAC=0-1b-fc-a-5-e3\r\nISLOGIN=1\r\n");
  EXPECT_TRUE(Call(u"web_UserLogout").value.boolean);
  EXPECT_EQ(ReadBytes(Config()), "[system]\r\nUID=\r\nUWD=\r\nMAC=\r\nISLOGIN=0\r\n");
}

TEST_F(DispatcherTest, FindFolderStoresUnderTheChosenServersKey) {
  const std::u16string game = m_folder / u"穿越火线";
  ASSERT_TRUE(m_test.files.CreateFolder(game));
  WriteBytes(game + kPathSeparator + u"QQLogin.exe", "MZ");
  const std::u16string empty = m_folder / u"empty";
  ASSERT_TRUE(m_test.files.CreateFolder(empty));
  auto folderKey = [&](std::u16string_view key) {
    return ProfileGetString(m_test.platform, u"CF Info", key, u"", 260, Config());
  };

  m_test.dialogs.folders = {std::nullopt};  // cancelled
  EXPECT_TRUE(Call(u"web_FindFolder").value.boolean);
  ASSERT_EQ(m_test.dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_test.dialogs.boxes[0].text, u"未指定游戏目录。");
  EXPECT_EQ(m_test.dialogs.pickerCalls[0].owner, kBrowser);
  EXPECT_EQ(m_test.dialogs.pickerCalls[0].prompt, u"请选择穿越火线游戏目录：");

  m_test.dialogs.folders = {empty};
  EXPECT_TRUE(Call(u"web_FindFolder").value.boolean);
  EXPECT_EQ(m_test.dialogs.boxes[1].text, u"没有找到QQLogin.exe，非穿越火线游戏目录。");
  EXPECT_EQ(folderKey(u"FOLDER"), u"");

  m_test.dialogs.folders = {game};
  EXPECT_TRUE(Call(u"web_FindFolder").value.boolean);
  EXPECT_EQ(folderKey(u"FOLDER"), game);

  ASSERT_TRUE(ProfileSetString(m_test.platform, u"system", u"run", u"1", Config()));
  m_test.dialogs.folders = {game};
  EXPECT_TRUE(Call(u"web_FindFolder").value.boolean);
  EXPECT_EQ(folderKey(u"FOLDER_TYF"), game);
  EXPECT_EQ(m_test.dialogs.boxes.size(), 2u);
}

TEST_F(DispatcherTest, OnlyTheDocumentRegistersForReports) {
  auto document = std::make_shared<FakeScriptObject>(true);
  auto window = std::make_shared<FakeScriptObject>(false);
  EXPECT_FALSE(m_page.ReportToPage(1, 0, 1, 50));  // nothing registered yet

  EXPECT_EQ(Number(u"SetCallBack", {V::Object(window)}), 0);
  EXPECT_FALSE(m_page.HasRegistration());
  EXPECT_EQ(Number(u"SetCallBack", {V::Object(document)}), 0);
  EXPECT_EQ(Number(u"SetCallBack", {V::Object(window)}), 0);  // keeps the document
  EXPECT_EQ(Number(u"SetCallBack", {V::Empty()}), 0);
  EXPECT_EQ(Call(u"SetCallBack", {V::Int32(5)}).error, kDispETypeMismatch);

  // Reports from other threads reach the registered page with their four values.
  std::thread reporter([&] { EXPECT_TRUE(m_page.ReportToPage(2, 5, -1, 100)); });
  reporter.join();
  ASSERT_EQ(document->Calls().size(), 1u);
  EXPECT_EQ(document->Calls()[0].name, u"OnDownloadProgress");
  EXPECT_EQ(document->Calls()[0].args, (std::vector<int32_t>{2, 5, -1, 100}));
  EXPECT_EQ(document->lastWait, kPageReportWait);

  // A frame's document never takes the registration; a page that replaced the registered
  // one (the document no longer shown) gets no reports.
  auto frame = std::make_shared<FakeScriptObject>(true);
  frame->top = false;
  Call(u"SetCallBack", {V::Object(frame)});
  EXPECT_TRUE(m_page.ReportToPage(1, 0, 0, 2));
  EXPECT_TRUE(frame->Calls().empty());
  document->shown = false;
  EXPECT_FALSE(m_page.ReportToPage(1, 0, 0, 3));
  EXPECT_EQ(document->Calls().size(), 2u);

  // A later page takes the place of the earlier one; a page without the function gets none.
  auto silent = std::make_shared<FakeScriptObject>(true, false);
  Call(u"SetCallBack", {V::Object(silent)});
  EXPECT_FALSE(m_page.ReportToPage(1, 0, 0, 1));
  EXPECT_EQ(document->Calls().size(), 2u);
}

}  // namespace
}  // namespace zeva
