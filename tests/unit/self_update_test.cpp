// The self-update on the test port: when it asks, what it starts and how, the updater that
// cannot be fetched, the signature it must carry, and the client's end in every case.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/self_update.h"
#include "game/profile.h"
#include "platform/path_style.h"
#include "platform/unicode.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

// Keys and signatures minisign made on the build host.
std::string Made(std::u16string_view name) {
  return test::ReadBytes(Utf8ToUtf16(ZEVA_TEST_SIGNATURES) + kPathSeparator + std::u16string(name));
}

// The base64 line of the trusted public key's file.
std::string TrustedKey() {
  const std::string file = Made(u"trusted.pub");
  const size_t start = file.find('\n') + 1;
  return file.substr(start, file.find('\n', start) - start);
}

// The tool server as the downloads see it: a body per address, a 404 page for the rest.
class FakeToolServer final : public IFileDownloader {
 public:
  FileDownloadReport Download(std::u16string_view url, std::u16string_view file,
                              const DownloadProgress&, const DownloadCancel*) override {
    asked.emplace_back(url);
    const auto it = bodies.find(std::u16string(url));
    const std::string body = it == bodies.end() ? "not found" : it->second;
    test::WriteBytes(file, body);
    return {.end = TransferEnd::kBodyEnded,
            .status = it == bodies.end() ? 404u : 200u,
            .announcedLength = body.size(),
            .written = body.size()};
  }
  std::map<std::u16string, std::string> bodies;
  std::vector<std::u16string> asked;
};

class SelfUpdateTest : public ::testing::Test {
 protected:
  void PlaceSignedUpdater() {
    test::WriteBytes(m_updater, m_signedUpdater);
    test::WriteBytes(m_signature, m_goodSignature);
  }
  void SetAutoupdate(std::u16string_view value) {
    ASSERT_TRUE(ProfileSetString(m_test.platform, u"system", u"autoupdate", value,
                                 m_folder / u"config.ini"));
  }
  bool Started() const {
    return m_test.shell.calls.size() == 1 && m_test.shell.calls[0].file == m_updater &&
           m_test.shell.calls[0].verb.empty() && m_test.shell.calls[0].parameters.empty() &&
           m_test.shell.calls[0].folder.empty() && m_test.shell.calls[0].show == kSwHide;
  }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  const std::u16string m_updater = m_folder / u"KIVOUpdate.exe";
  const std::u16string m_signature = m_folder / u"KIVOUpdate.exe.minisig";
  const std::string m_key = TrustedKey();
  const std::string m_signedUpdater = Made(u"updater.exe");
  const std::string m_goodSignature = Made(u"updater.exe.minisig");
  int m_quits = 0;
  // Port 1: nobody listens, so a download fails at once.
  SelfUpdate m_update{m_test.platform, u"http://127.0.0.1:1", [] { return WindowHandle{0x700}; },
                      [this] { ++m_quits; }, m_key};
  FakeToolServer m_server;
  const Platform m_served{m_test.files,    *m_test.codec,    m_test.adapters, m_test.instance,
                          m_test.windows,  m_test.registry,  m_test.dialogs,  m_test.shell,
                          m_test.toolkit,  m_test.autostart, m_test.login,    m_server,
                          m_test.diskSpace};
  SelfUpdate m_servedUpdate{m_served, u"http://tools", [] { return WindowHandle{0x700}; },
                            [this] { ++m_quits; }, m_key};
};

TEST_F(SelfUpdateTest, ThePagesRequestAsksUnlessTheSettingIsOne) {
  PlaceSignedUpdater();
  const struct {
    std::u16string_view setting;
    int answer;
    bool asked, started;
  } cases[] = {
      {u"1", kIdCancel, false, true}, {u"0", kIdCancel, true, false},
      {u"0", kIdOk, true, true},      {u"", kIdOk, true, true},
      {u"", kIdCancel, true, false},  {u"11", kIdCancel, true, false},
  };
  for (const auto& c : cases) {
    SetAutoupdate(c.setting);
    m_test.dialogs.boxes.clear();
    m_test.dialogs.answers = {c.answer};
    m_test.shell.calls.clear();
    m_quits = 0;
    m_update.Check();
    ASSERT_EQ(m_test.dialogs.boxes.size(), c.asked ? 1u : 0u) << c.setting.size();
    if (c.asked) {
      EXPECT_EQ(m_test.dialogs.boxes[0].text, u"发现服务器有新版本，是否升级？");
      EXPECT_EQ(m_test.dialogs.boxes[0].caption, u"更新");
      EXPECT_EQ(m_test.dialogs.boxes[0].style, kMbOkCancel);
      EXPECT_EQ(m_test.dialogs.boxes[0].owner, 0x700u);
    }
    EXPECT_EQ(Started(), c.started);
    EXPECT_EQ(m_quits, c.started ? 1 : 0);  // Cancel keeps the client running
  }
  EXPECT_EQ(test::ReadBytes(m_updater), m_signedUpdater);  // used as it is, never fetched again
}

TEST_F(SelfUpdateTest, StartNeverAsks) {
  SetAutoupdate(u"0");
  PlaceSignedUpdater();
  m_update.Start();
  EXPECT_TRUE(m_test.dialogs.boxes.empty());
  EXPECT_TRUE(Started());
  EXPECT_EQ(m_quits, 1);
}

TEST_F(SelfUpdateTest, AnUpdaterThatCannotBeFetchedIsSaidAndLeavesNothing) {
  m_update.Start();
  ASSERT_EQ(m_test.dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_test.dialogs.boxes[0].text, u"更新工具下载失败!");
  EXPECT_EQ(m_test.dialogs.boxes[0].caption, u"更新");
  EXPECT_EQ(m_test.dialogs.boxes[0].style, kMbOk);
  EXPECT_FALSE(m_test.files.GetAttributes(m_updater));
  EXPECT_FALSE(m_test.files.GetAttributes(m_updater + u".part"));
  // Still handed over and ended, as the client always has.
  EXPECT_TRUE(Started());
  EXPECT_EQ(m_quits, 1);
}

TEST_F(SelfUpdateTest, OnlyAnUpdaterWhoseSignatureChecksOutIsStarted) {
  const std::u16string updaterUrl = u"http://tools/CFToolWeb/KIVOUpdate.exe";
  const std::u16string signatureUrl = updaterUrl + u".minisig";
  std::string altered = m_signedUpdater;
  altered[7] ^= 0x01;
  std::string forged = m_goodSignature;
  forged.replace(forged.find("file:updater.exe"), 16, "file:updater.exx");
  const std::string none = "(none)";
  const struct {
    const char* what;
    std::string localUpdater, localSignature, servedUpdater, servedSignature;
    bool started;
    std::vector<std::u16string> asked;
  } cases[] = {
      {"fetched with its signature",
       none,
       none,
       m_signedUpdater,
       m_goodSignature,
       true,
       {updaterUrl, signatureUrl}},
      {"forged signature on the server",
       none,
       none,
       m_signedUpdater,
       forged,
       false,
       {updaterUrl, signatureUrl}},
      {"no signature on the server",
       none,
       none,
       m_signedUpdater,
       none,
       false,
       {updaterUrl, signatureUrl}},
      {"updater altered on the way",
       none,
       none,
       altered,
       m_goodSignature,
       false,
       {updaterUrl, signatureUrl}},
      {"signed with another key",
       none,
       none,
       m_signedUpdater,
       Made(u"other.minisig"),
       false,
       {updaterUrl, signatureUrl}},
      {"fetched beside an older updater's signature",
       none,
       Made(u"other.minisig"),
       m_signedUpdater,
       m_goodSignature,
       true,
       {updaterUrl, signatureUrl}},
      {"present with its signature", m_signedUpdater, m_goodSignature, none, none, true, {}},
      {"present, its signature lost",
       m_signedUpdater,
       none,
       none,
       m_goodSignature,
       true,
       {signatureUrl}},
      {"present, its signature lost and none served",
       m_signedUpdater,
       none,
       none,
       none,
       false,
       {signatureUrl}},
      {"present, altered on the disk",
       altered,
       m_goodSignature,
       none,
       m_goodSignature,
       false,
       {signatureUrl}},
      {"present, its signature truncated",
       m_signedUpdater,
       m_goodSignature.substr(0, 120),
       none,
       none,
       false,
       {signatureUrl}},
  };
  for (const auto& c : cases) {
    m_test.files.Remove(m_updater);
    m_test.files.Remove(m_signature);
    if (c.localUpdater != none) test::WriteBytes(m_updater, c.localUpdater);
    if (c.localSignature != none) test::WriteBytes(m_signature, c.localSignature);
    m_server.bodies.clear();
    if (c.servedUpdater != none) m_server.bodies[updaterUrl] = c.servedUpdater;
    if (c.servedSignature != none) m_server.bodies[signatureUrl] = c.servedSignature;
    m_server.asked.clear();
    m_test.dialogs.boxes.clear();
    m_test.shell.calls.clear();
    m_quits = 0;

    m_servedUpdate.Start();

    EXPECT_EQ(m_server.asked, c.asked) << c.what;
    EXPECT_EQ(Started(), c.started) << c.what;
    EXPECT_EQ(m_quits, 1) << c.what;
    if (c.started) {
      EXPECT_TRUE(m_test.dialogs.boxes.empty()) << c.what;
      EXPECT_EQ(test::ReadBytes(m_signature), m_goodSignature) << c.what;  // kept for next time
    } else {
      // Never reached the shell, and nothing of it is left to start later.
      EXPECT_TRUE(m_test.shell.calls.empty()) << c.what;
      EXPECT_FALSE(m_test.files.GetAttributes(m_updater)) << c.what;
      EXPECT_FALSE(m_test.files.GetAttributes(m_signature)) << c.what;
      ASSERT_EQ(m_test.dialogs.boxes.size(), 1u) << c.what;
      EXPECT_EQ(m_test.dialogs.boxes[0].text, u"更新工具校验失败，已删除，请稍后重试。");
      EXPECT_EQ(m_test.dialogs.boxes[0].caption, u"更新");
      EXPECT_EQ(m_test.dialogs.boxes[0].style, kMbOk);
      EXPECT_EQ(m_test.dialogs.boxes[0].owner, 0x700u);
    }
    EXPECT_FALSE(m_test.files.GetAttributes(m_updater + u".part")) << c.what;
    EXPECT_FALSE(m_test.files.GetAttributes(m_signature + u".part")) << c.what;
  }
}

}  // namespace
}  // namespace zeva
