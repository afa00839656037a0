// Whole-file downloads judged by the core, whatever the transport makes of a reply: an error
// status or a body short of its announced length is a failure that leaves the final name as
// it was, and a refused address never reaches the transport.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "download/whole_file_download.h"
#include "platform/unicode.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

// Writes `body` into the file and reports what it is told to.
class FakeDownloader final : public IFileDownloader {
 public:
  FileDownloadReport Download(std::u16string_view url, std::u16string_view file,
                              const DownloadProgress&, const DownloadCancel*) override {
    urls.emplace_back(url);
    test::WriteBytes(file, body);
    FileDownloadReport facts = report;
    facts.written = body.size();
    return facts;
  }
  std::string body;
  FileDownloadReport report;
  std::vector<std::u16string> urls;
};

class WholeFileDownloadTest : public ::testing::Test {
 protected:
  bool Exists(const std::u16string& path) { return m_test.files.GetAttributes(path).has_value(); }

  test::TempFolder m_folder;
  test::TestPlatform m_test{m_folder.Path()};
  FakeDownloader m_downloader;
  const Platform m_platform{m_test.files,    *m_test.codec,    m_test.adapters, m_test.instance,
                            m_test.windows,  m_test.registry,  m_test.dialogs,  m_test.shell,
                            m_test.toolkit,  m_test.autostart, m_test.login,    m_downloader,
                            m_test.diskSpace};
  const std::u16string m_target = m_folder / u"jsq.exe";
};

TEST_F(WholeFileDownloadTest, TheReplyIsJudgedWhateverTheTransportSays) {
  constexpr auto kEnded = TransferEnd::kBodyEnded;
  const struct {
    const char* what;
    TransferEnd end;
    std::optional<uint32_t> status;
    std::optional<uint64_t> announced;
    std::string body;
    DownloadResult expected;
  } cases[] = {
      {"whole body", kEnded, 200, 6, "binary", DownloadResult::kDone},
      {"no announced length", kEnded, 200, std::nullopt, "binary", DownloadResult::kDone},
      {"no status told", kEnded, std::nullopt, 6, "binary", DownloadResult::kDone},
      {"last status below the errors", kEnded, 399, std::nullopt, "binary", DownloadResult::kDone},
      {"404 page", kEnded, 404, 9, "not found", DownloadResult::kFailed},
      {"400 without a body", kEnded, 400, 0, "", DownloadResult::kFailed},
      {"body cut short", kEnded, 200, 10, "binary", DownloadResult::kFailed},
      {"body past its length", kEnded, 200, 3, "binary", DownloadResult::kFailed},
      {"transport failed", TransferEnd::kFailed, 200, 6, "binary", DownloadResult::kFailed},
      {"cancelled", TransferEnd::kCancelled, 200, 6, "binary", DownloadResult::kCancelled},
  };
  for (const auto& c : cases) {
    test::WriteBytes(m_target, "old");
    m_downloader.body = c.body;
    m_downloader.report = {.end = c.end, .status = c.status, .announcedLength = c.announced};
    EXPECT_EQ(DownloadWholeFile(m_platform, u"http://host/jsq.exe", m_target), c.expected)
        << c.what;
    EXPECT_EQ(test::ReadBytes(m_target), c.expected == DownloadResult::kDone ? c.body : "old")
        << c.what;
    EXPECT_FALSE(Exists(m_target + u".part")) << c.what;
  }
  EXPECT_EQ(m_downloader.urls.size(), std::size(cases));
}

TEST_F(WholeFileDownloadTest, ARefusedAddressFailsWithoutAskingTheTransport) {
  m_downloader.body = "binary";
  m_downloader.report = {.end = TransferEnd::kBodyEnded, .status = 200};
  const std::u16string refused[] = {
      u"file:///c:/windows/notepad.exe", u"ftp://host/jsq.exe", u"http:///jsq.exe",
      u"http://" + std::u16string(256, u'h') + u"/jsq.exe", u"http://host/a b.exe"};
  for (const std::u16string& url : refused) {
    test::WriteBytes(m_target + u".part", "stale");  // left by a killed client
    EXPECT_EQ(DownloadWholeFile(m_platform, url, m_target), DownloadResult::kFailed)
        << Utf16ToUtf8(url);
    EXPECT_FALSE(Exists(m_target)) << Utf16ToUtf8(url);
    EXPECT_FALSE(Exists(m_target + u".part")) << Utf16ToUtf8(url);
  }
  EXPECT_TRUE(m_downloader.urls.empty());
}

}  // namespace
}  // namespace zeva
