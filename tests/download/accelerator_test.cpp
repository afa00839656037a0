// The accelerator request and its download dialog through the port's own downloader against
// the test peer (libcurl natively, the URL moniker under Wine): each branch of the request,
// the dialog's bar, texts and boxes, and what a failed or cancelled download leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "download/accelerator.h"
#include "download/download_dialog.h"
#include "platform/path_style.h"
#include "platform/unicode.h"
#include "res/resource_ids.h"
#include "support/fake_dialog_factory.h"
#include "support/temp_folder.h"
#include "support/test_blob.h"
#include "support/test_platform.h"
#include "test_peer.h"
#include "ui/window_messages.h"

namespace zeva::test {
namespace {

constexpr WindowHandle kMainWindow = 0x700;
const std::u16string kSep(1, kPathSeparator);

TEST(DownloadDialogRules, BarTitleAndButtonTexts) {
  const struct {
    uint64_t received, total;
    int percent;
  } bars[] = {{512, 1024, 50},
              {1023, 1024, 99},
              {1024, 1024, 100},
              {5, 0, 0},
              {6'000'000'000, 0, 0},
              {0, 1024, 0},
              {3'000'000'000, 6'000'000'000, 50}};  // past 32 bits
  for (const auto& b : bars) {
    EXPECT_EQ(DownloadPercent(b.received, b.total), b.percent) << b.received << "/" << b.total;
  }
  EXPECT_EQ(DownloadTitle(u"迅雷加速器"), u"正在下载 迅雷加速器，请稍等");
  EXPECT_EQ(DownloadTitle(u""), u"正在下载资源，请稍等");
  using Texts = std::vector<std::u16string>;
  EXPECT_EQ(InstallButtonTexts(kMbOk), Texts{u"我要安装"});
  EXPECT_EQ(InstallButtonTexts(kMbOkCancel | kMbIconQuestion), (Texts{u"我要安装", u"暂不安装"}));
  EXPECT_EQ(InstallButtonTexts(kMbYesNoCancel), (Texts{u"一键安装", u"手动安装", u"暂不安装"}));
}

class AcceleratorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_peer.Available()) GTEST_SKIP() << "no test server (ZEVA_TEST_SERVER is not set)";
    // The dialog's run: its worker's messages are delivered until it ends, or until it shows
    // a box and stays open, which the player then closes.
    m_factory.whileModal[res::kDownloadDialog] = [this](FakeDialog& dialog) {
      dialog.view.boxAnswers = {m_answer};
      if (m_whileOpen) m_whileOpen(dialog);
      ASSERT_TRUE(dialog.view.Pump(
          [&] { return !dialog.view.endResults.empty() || !dialog.view.boxes.empty(); }));
      if (dialog.view.endResults.empty()) dialog.events->OnCommand(kIdCancel);
    };
  }
  std::u16string Url(const std::string& path) const { return Utf8ToUtf16(m_peer.BaseUrl() + path); }
  Accelerator Make(const std::string& path) {
    return Accelerator(m_test.platform, m_factory, Url(path), [] { return kMainWindow; });
  }
  bool Exists(const std::u16string& path) { return m_test.files.GetAttributes(path).has_value(); }
  // The dialogs' views, oldest first.
  FakeWindowView& Dialog(size_t index) {
    return m_factory.Of(res::kDownloadDialog).at(index)->view;
  }
  // Positions the worker sent to the bar.
  static std::vector<int> BarPositions(const FakeWindowView& view) {
    std::vector<int> positions;
    for (const auto& m : view.posted) {
      if (m.message == kWmDownloadProgress) positions.push_back(static_cast<int>(m.wParam));
    }
    return positions;
  }

  TestPeer m_peer;
  TempFolder m_folder;
  TestPlatform m_test{m_folder.Path()};
  FakeDialogFactory m_factory;
  int m_answer = kIdOk;
  std::function<void(FakeDialog&)> m_whileOpen;
  const std::u16string m_installer = m_folder / (u"Downloads" + kSep + u"jsq.exe");
  const std::u16string m_program = m_folder / (u"xunlei" + kSep + u"bin" + kSep + u"XLacc.exe");
  const std::string m_blob = BlobName(300000, 11);
};

TEST_F(AcceleratorTest, AnInstalledAcceleratorStartsHiddenWithoutAWindow) {
  const std::u16string pro = kAcceleratorUninstallKeys[0], air = kAcceleratorUninstallKeys[1];
  const struct {
    bool program;
    std::u16string proIcon, airIcon;  // empty: no value
    std::u16string started;           // empty: the program file
  } cases[] = {
      {true, u"C:\\pro.exe", u"C:\\air.exe", u""},
      {false, u"", u"C:\\air.exe", u"C:\\air.exe"},
      {false, u"C:\\pro.exe,0", u"C:\\air.exe", u"C:\\pro.exe,0"},  // run as read
  };
  for (const auto& c : cases) {
    m_test.registry.values.clear();
    m_test.shell.calls.clear();
    if (!c.proIcon.empty()) m_test.registry.values[{2, pro, u"DisplayIcon"}] = c.proIcon;
    if (!c.airIcon.empty()) m_test.registry.values[{2, air, u"DisplayIcon"}] = c.airIcon;
    if (c.program) {
      std::filesystem::create_directories(NativePath(m_program).parent_path());
      WriteBytes(m_program, "accelerator");
    }
    Make("/file/" + m_blob).Run();
    ASSERT_EQ(m_test.shell.calls.size(), 1u);
    const ShellCall& call = m_test.shell.calls[0];
    EXPECT_EQ(call.file, c.started.empty() ? m_program : c.started);
    EXPECT_TRUE(call.verb.empty() && call.parameters.empty() && call.folder.empty());
    EXPECT_EQ(call.show, kSwHide);
    EXPECT_TRUE(m_factory.dialogs.empty());
    if (c.program) std::filesystem::remove(NativePath(m_program));
  }
}

TEST_F(AcceleratorTest, DownloadedThenOfferedDeclinedKeptAndOfferedAgain) {
  m_answer = kIdCancel;
  Accelerator accelerator = Make("/file/" + m_blob);
  accelerator.Run();
  FakeWindowView& first = Dialog(0);
  EXPECT_EQ(m_factory.Of(res::kDownloadDialog)[0]->owner, kMainWindow);
  EXPECT_EQ(first.title, u"正在下载 迅雷加速器，请稍等");
  EXPECT_EQ(first.progressRanges[res::kDownloadProgress], std::make_pair(1, 100));
  const std::vector<int> bar = BarPositions(first);
  ASSERT_FALSE(bar.empty());
  EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
  EXPECT_TRUE(std::adjacent_find(bar.begin(), bar.end()) == bar.end());  // one per percent
  EXPECT_GE(bar.front(), 1);
  EXPECT_EQ(bar.back(), 100);
  EXPECT_EQ(first.progress[res::kDownloadProgress], 100);
  ASSERT_EQ(first.boxes.size(), 1u);
  EXPECT_EQ(first.boxes[0].text, kAcceleratorOffer);
  EXPECT_EQ(first.boxes[0].caption, u"安装");
  EXPECT_EQ(first.boxes[0].style, kMbOkCancel | kMbIconQuestion);
  EXPECT_EQ(first.boxes[0].buttons, (std::vector<std::u16string>{u"我要安装", u"暂不安装"}));
  EXPECT_EQ(first.endResults, std::vector<int>{kIdOk});  // closed by the installation step
  EXPECT_TRUE(m_test.shell.calls.empty());               // declined: nothing runs
  EXPECT_EQ(ReadBytes(m_installer), MakeBlob(300000, 11));
  EXPECT_FALSE(Exists(m_installer + u".part"));

  // The next request finds the installer: no download, the offer at once; accepted, the
  // installer runs silently into the client folder.
  m_answer = kIdOk;
  accelerator.Run();
  FakeWindowView& second = Dialog(1);
  EXPECT_TRUE(BarPositions(second).empty());
  ASSERT_EQ(second.boxes.size(), 1u);
  EXPECT_EQ(second.boxes[0].text, kAcceleratorOffer);
  ASSERT_EQ(m_test.shell.calls.size(), 1u);
  const ShellCall& call = m_test.shell.calls[0];
  EXPECT_EQ(call.file, m_installer);
  EXPECT_EQ(call.parameters, u"/S /D=" + m_folder.Path() + u"xunlei");
  EXPECT_EQ(call.show, kSwHide);
  if (const auto seen = m_peer.Requests()) {
    EXPECT_EQ(seen->size(), 1u);  // downloaded once
  }
}

TEST_F(AcceleratorTest, AnInstallerStillRunningIsWaitedForAndOneDialogAtATime) {
  std::filesystem::create_directories(NativePath(m_installer).parent_path());
  WriteBytes(m_installer, "installer");
  Accelerator accelerator = Make("/file/" + m_blob);
  m_whileOpen = [&](FakeDialog&) { accelerator.Run(); };  // the page asks again meanwhile
  const struct {
    std::u16string running;
    std::u16string text;
  } cases[] = {{u"jsq.exe", kAcceleratorInstalling}, {u"JSQ.EXE", kAcceleratorOffer}};
  for (const auto& c : cases) {
    m_test.shell.running = {c.running};
    m_test.shell.calls.clear();
    m_answer = kIdCancel;
    accelerator.Run();
    FakeWindowView& view = m_factory.dialogs.back()->view;
    ASSERT_EQ(view.boxes.size(), 1u) << Utf16ToUtf8(c.running);
    EXPECT_EQ(view.boxes[0].text, c.text);
    EXPECT_EQ(view.boxes[0].caption, u"安装");
    if (c.text == kAcceleratorInstalling) {
      EXPECT_EQ(view.boxes[0].style, kMbOk);
      EXPECT_EQ(view.boxes[0].buttons, std::vector<std::u16string>{u"我要安装"});
    }
    EXPECT_EQ(view.endResults, std::vector<int>{kIdOk});
    EXPECT_TRUE(m_test.shell.calls.empty());
  }
  EXPECT_EQ(m_factory.Of(res::kDownloadDialog).size(), 2u);
}

TEST_F(AcceleratorTest, AFailedDownloadIsSaidLeavesNothingAndTheWindowOpen) {
  for (const std::string& path : {std::string("/status/404"), "/drop/" + m_blob + "?at=1000"}) {
    m_factory.dialogs.clear();
    Make(path).Run();
    FakeWindowView& view = Dialog(0);
    ASSERT_EQ(view.boxes.size(), 1u) << path;
    EXPECT_EQ(view.boxes[0].text, u"下载出错");
    EXPECT_EQ(view.boxes[0].caption, u"ZEVA");
    EXPECT_EQ(view.boxes[0].style, kMbOk | kMbIconExclamation);
    EXPECT_EQ(view.endResults, std::vector<int>{kIdCancel});  // closed by the player
    EXPECT_FALSE(Exists(m_installer)) << path;
    EXPECT_FALSE(Exists(m_installer + u".part")) << path;
    EXPECT_TRUE(m_test.shell.calls.empty());
  }
}

TEST_F(AcceleratorTest, ClosingTheWindowMidDownloadCancelsIt) {
  // About 2.5 s of transfer; the window closes at its first percent.
  const std::string slow = BlobName(2'000'000, 12);
  m_whileOpen = [](FakeDialog& dialog) {
    ASSERT_TRUE(dialog.view.Pump([&] { return dialog.view.progress[res::kDownloadProgress] > 0; }));
    dialog.events->OnCommand(kIdCancel);
  };
  Make("/drip/" + slow + "?chunk=16384&ms=20").Run();
  FakeWindowView& view = Dialog(0);
  EXPECT_LT(view.progress[res::kDownloadProgress], 100);
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_FALSE(Exists(m_installer));
  EXPECT_FALSE(Exists(m_installer + u".part"));
  EXPECT_TRUE(m_test.shell.calls.empty());
}

TEST_F(AcceleratorTest, ASizeTheServerDoesNotGiveLeavesTheBarAtItsMinimum) {
  Make("/no-length/" + m_blob).Run();
  FakeWindowView& view = Dialog(0);
  EXPECT_TRUE(BarPositions(view).empty());
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].text, kAcceleratorOffer);
  EXPECT_EQ(ReadBytes(m_installer), MakeBlob(300000, 11));
}

}  // namespace
}  // namespace zeva::test
