// The client as ZEVA.exe composes it, its real main window running modally, and a page's
// script calling window.external from inside that window's message loop: a download from
// the test server, paused, resumed, then unpacked, with progress reports to the page.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/client.h"
#include "fake_html_document.h"
#include "platform/http.h"
#include "platform/port.h"
#include "platform/unicode.h"
#include "ports/win32/external_object.h"
#include "ports/win32/html_ctrl.h"
#include "ports/win32/port_services.h"
#include "ports/win32/wide.h"
#include "ports/win32/win32_dialog_factory.h"
#include "script_harness.h"
#include "support/temp_folder.h"
#include "support/test_blob.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

using win32::Wide;

constexpr size_t kEntrySize = 100000;
constexpr uint32_t kSeed = 21;

std::string ReadFileBytes(const std::u16string& path) {
  std::string bytes;
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  ::CloseHandle(file);
  return bytes;
}

// A JScript string literal.
std::wstring Quoted(const std::u16string& text) {
  std::wstring quoted = L"'";
  for (const wchar_t c : Wide(text)) {
    if (c == L'\\' || c == L'\'') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"'";
}

struct Report {
  int32_t code, value;
};

// The page's steps, one per turn of the window's message loop once its condition holds.
struct PageScript {
  std::vector<std::function<bool()>> steps;
  size_t next = 0;
  int idleTurns = 0;
  HWND window = nullptr;
};

PageScript* g_script = nullptr;

void CALLBACK OnTurn(HWND, UINT, UINT_PTR timer, DWORD) {
  PageScript& script = *g_script;
  // A step that never becomes possible ends the run rather than hanging it.
  const bool stuck = ++script.idleTurns > 3000;
  if (stuck || script.next == script.steps.size()) {
    ::KillTimer(nullptr, timer);
    ::PostMessageW(script.window, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  if (script.steps[script.next]()) {
    ++script.next;
    script.idleTurns = 0;
  }
}

class ClientPageTest : public ::testing::TestWithParam<bool> {};

TEST_P(ClientPageTest, DownloadPausedResumedAndUnpackedFromThePage) {
  const char* server = std::getenv("ZEVA_TEST_SERVER");
  if (!server) GTEST_SKIP() << "no test server (ZEVA_TEST_SERVER is not set)";
  const std::u16string origin = Utf8ToUtf16(server);
  const bool freeThreaded = GetParam();

  // ZEVA.exe's composition, with the executable said to be in a folder of the test's own.
  test::TempFolder folder;
  win32::PortServices services;
  test::TestFileSystem files(CreateFileSystem());
  files.executablePath = folder.Path() + u"ZEVA.exe";
  const Platform platform{files,
                          *services.codec,
                          *services.adapters,
                          *services.instance,
                          services.windows,
                          *services.registry,
                          services.dialogs,
                          *services.shell,
                          services.toolkit,
                          *services.autostart,
                          *services.login,
                          *services.downloader,
                          *services.diskSpace};
  win32::Win32DialogFactory dialogs(win32::MakeHtmlCtrlFactory(services.dialogs, *services.shell));
  const std::unique_ptr<IHttpClient> http = CreateHttpClient();
  // The page's document, created on this (the window's) thread as the browser's is; it
  // outlives the client, which holds it while registered.
  test::FakeHtmlDocument document(freeThreaded);
  ZevaClient client({platform, dialogs, *http, {origin}});

  // The page: the browser hands it window.external over the client's dispatcher.
  IDispatch* const documentObject = &document;
  IDispatch* external = new win32::ExternalObject(
      client.Dispatcher(), [&](IServiceProvider*) { return origin + u"/tool/index.html"; },
      [&](IDispatch* object) {
        return win32::PageFacts{object == documentObject, nullptr, 0};
      });
  const auto run = [&](const std::wstring& code) {
    return test::EvaluateScript(code, {{L"external", external}, {L"document", documentObject}});
  };
  const auto reports = [&] {
    std::vector<Report> result;
    for (const auto& call : document.script.Calls()) result.push_back({call[0], call[3]});
    return result;
  };
  const auto lastCode = [&] {
    const auto all = reports();
    return all.empty() ? 0 : all.back().code;
  };

  const std::u16string url =
      origin + u"/drip/" + Utf8ToUtf16(test::ZipBlobName(kEntrySize, kSeed)) + u"?chunk=1000&ms=5";
  const std::u16string archive = folder.Path() + u"Downloads\\z.zip";
  const std::u16string target = folder.Path() + u"unpacked";
  const std::wstring download = L"external.DownloadFile(" + Quoted(url) + L", 'z.zip', 0, 21)";
  const std::string zip = test::MakeZipBlob(kEntrySize, kSeed);
  std::vector<std::wstring> answers;
  size_t reportsAtPause = 0;
  std::string partial;

  PageScript script;
  script.steps = {
      [&] {
        script.window =
            reinterpret_cast<HWND>(static_cast<uintptr_t>(client.MainWindow().Handle()));
        if (!script.window || !::IsWindowVisible(script.window)) return false;
        answers.push_back(run(L"external.SetCallBack(document)"));
        answers.push_back(run(download));
        return true;
      },
      [&] {
        const auto all = reports();
        if (all.empty() || all.back().code != 1 || all.back().value < 40) return false;
        answers.push_back(run(L"external.PauseDownload(0, 21)"));
        return true;
      },
      [&] {
        if (lastCode() != -100) return false;
        reportsAtPause = reports().size();
        partial = ReadFileBytes(archive);
        answers.push_back(run(download));
        return true;
      },
      [&] {
        if (lastCode() != 2) return false;
        answers.push_back(
            run(L"external.UnzipFile(" + Quoted(archive) + L", " + Quoted(target) + L")"));
        return true;
      },
  };
  g_script = &script;
  ASSERT_NE(::SetTimer(nullptr, 0, 10, OnTurn), 0u);
  const DWORD windowThread = ::GetCurrentThreadId();

  // The exit path: the window's cancel ends the modal run.
  EXPECT_EQ(client.RunMainWindow(), IDCANCEL);
  g_script = nullptr;
  external->Release();

  ASSERT_EQ(script.next, script.steps.size())
      << "the page got no further than step " << script.next;
  EXPECT_EQ(answers, (std::vector<std::wstring>{L"0", L"1", L"1", L"1", L"1"}));

  // Before the pause: rising percentages, then the pause (-100). The file stopped part-way.
  const auto all = reports();
  ASSERT_GE(reportsAtPause, 2u);
  int last = -1;
  for (size_t i = 0; i + 1 < reportsAtPause; ++i) {
    EXPECT_EQ(all[i].code, 1);
    EXPECT_GT(all[i].value, last);
    last = all[i].value;
  }
  EXPECT_EQ(all[reportsAtPause - 1].code, -100);
  ASSERT_GT(partial.size(), 0u);
  ASSERT_LT(partial.size(), zip.size());
  EXPECT_EQ(partial, zip.substr(0, partial.size()));

  // The resumed transfer: its first percentage is past the paused one, so the server
  // answered a ranged request and the file grew from where it stopped.
  ASSERT_GE(all.size(), reportsAtPause + 2);
  EXPECT_GT(all[reportsAtPause].value, last);
  for (size_t i = reportsAtPause; i + 1 < all.size(); ++i) {
    EXPECT_EQ(all[i].code, 1);
    EXPECT_GT(all[i].value, last);
    last = all[i].value;
  }
  EXPECT_EQ(last, 100);
  EXPECT_EQ(all.back().code, 2);
  EXPECT_EQ(all.back().value, 100);
  EXPECT_EQ(ReadFileBytes(archive), zip);
  EXPECT_EQ(ReadFileBytes(target + u"\\" + Utf8ToUtf16(test::BlobName(kEntrySize, kSeed))),
            test::MakeBlob(kEntrySize, kSeed));

  // Whatever kind of document, it is called only on the window's thread, where its script
  // lives.
  for (const DWORD thread : document.script.Threads()) EXPECT_EQ(thread, windowThread);
}

std::string DocumentKind(const ::testing::TestParamInfo<bool>& document) {
  return document.param ? "FreeThreaded" : "ApartmentThreaded";
}

INSTANTIATE_TEST_SUITE_P(Documents, ClientPageTest, ::testing::Values(true, false), DocumentKind);

}  // namespace
}  // namespace zeva
