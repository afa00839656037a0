// The engine against a real server with faults, through the port's own HTTP layer (libcurl
// natively, WinHTTP under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <set>
#include <thread>

#include "download_fixture.h"
#include "support/sha256.h"

namespace zeva::test {
namespace {

constexpr size_t kSize = 100000;

// Progress values strictly rising, none repeated, none past 100.
void ExpectRisingPercentages(const std::vector<PageReport>& reports) {
  int last = -1;
  for (const PageReport& r : reports) {
    if (r.code != 1) continue;
    EXPECT_GT(r.value, last) << r;
    EXPECT_LE(r.value, 100) << r;
    last = r.value;
  }
}

TEST_F(DownloadTest, FreshDownloadAsksForEverythingAndReportsEachPercentOnce) {
  const std::string name = BlobName(kSize, 1);
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), Utf8ToUtf16(name), 0, 7), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 7), (PageReport{2, 0, 7, 100}));

  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), MakeBlob(kSize, 1));
  const auto reports = m_page.ReportsFor(0, 7);
  ExpectRisingPercentages(reports);
  ASSERT_GE(reports.size(), 2u);
  EXPECT_EQ(reports[reports.size() - 2], (PageReport{1, 0, 7, 100}));
  // Code 2 carries 100 even right after a progress report of 100.
  EXPECT_EQ(reports.back(), (PageReport{2, 0, 7, 100}));

  const auto entry = m_engine->Tools().Find(MakeToolKey(0, 7));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->state, 2);
  EXPECT_EQ(entry->totalSize, kSize);
  EXPECT_EQ(entry->bytesOnDisk, kSize);
  if (const auto seen = m_peer.Requests()) {
    ASSERT_EQ(seen->size(), 1u);
    EXPECT_EQ(seen->front().range, "");
    EXPECT_EQ(seen->front().userAgent, "MSIE");
  }
}

TEST_F(DownloadTest, PartialFileContinuesFromItsLength) {
  const std::string name = BlobName(kSize, 2);
  const std::string source = MakeBlob(kSize, 2);
  PutPartial(Utf8ToUtf16(name), source.substr(0, 1000));
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), Utf8ToUtf16(name), 1, 2), 1);
  EXPECT_EQ(m_page.WaitForEnd(1, 2).code, 2);
  EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(Utf8ToUtf16(name)))), Sha256Hex(source));
  EXPECT_EQ(m_engine->Tools().Find(MakeToolKey(1, 2))->totalSize, kSize);  // 1000 + length
  if (const auto seen = m_peer.Requests()) {
    EXPECT_EQ(seen->front().range, "bytes=1000-");
  }
}

TEST_F(DownloadTest, PercentagesCountTheBytesAlreadyOnDisk) {
  // Half the file on disk, the rest in small pieces: the first report is at least half.
  const std::string name = BlobName(2000, 19);
  PutPartial(Utf8ToUtf16(name), MakeBlob(2000, 19).substr(0, 1000));
  ASSERT_EQ(
      m_engine->DownloadFile(Url("/drip/" + name + "?chunk=10&ms=1"), Utf8ToUtf16(name), 1, 19), 1);
  EXPECT_EQ(m_page.WaitForEnd(1, 19).code, 2);
  const auto reports = m_page.ReportsFor(1, 19);
  EXPECT_GE(reports.front().value, 50);
  ExpectRisingPercentages(reports);
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), MakeBlob(2000, 19));
}

TEST_F(DownloadTest, EmptyExistingFileIsFetchedWhole) {
  const std::string name = BlobName(5000, 3);
  PutPartial(Utf8ToUtf16(name), "");
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), Utf8ToUtf16(name), 0, 3), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 3).code, 2);
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), MakeBlob(5000, 3));
  if (const auto seen = m_peer.Requests()) {
    EXPECT_EQ(seen->front().range, "");
  }
}

TEST_F(DownloadTest, WholeFileAnswerToARangedRequestStartsTheFileAgain) {
  const std::string name = BlobName(kSize, 4);
  PutPartial(Utf8ToUtf16(name), std::string(1000, 'x'));  // not even the server's bytes
  ASSERT_EQ(m_engine->DownloadFile(Url("/ignore-range/" + name), Utf8ToUtf16(name), 0, 4), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 4).code, 2);
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), MakeBlob(kSize, 4));  // never spliced
  EXPECT_EQ(m_engine->Tools().Find(MakeToolKey(0, 4))->totalSize, kSize);
}

TEST_F(DownloadTest, PartialAnswerFromTheWrongOffsetFailsAndWritesNothing) {
  const std::string name = BlobName(kSize, 5);
  const std::string partial = MakeBlob(kSize, 5).substr(0, 1000);
  PutPartial(Utf8ToUtf16(name), partial);
  ASSERT_EQ(m_engine->DownloadFile(Url("/wrong-range/" + name), Utf8ToUtf16(name), 0, 5), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 5), (PageReport{-1, 0, 5, 0}));
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), partial);
  EXPECT_EQ(m_page.ReportsFor(0, 5).size(), 1u);
}

TEST_F(DownloadTest, RangeNotSatisfiableCompletesAFileThatIsAlreadyWhole) {
  const std::string name = BlobName(kSize, 6);
  PutPartial(Utf8ToUtf16(name), MakeBlob(kSize, 6));
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), Utf8ToUtf16(name), 0, 6), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 6), (PageReport{2, 0, 6, 100}));
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), MakeBlob(kSize, 6));  // its body unwritten
}

TEST_F(DownloadTest, RangeNotSatisfiableForAnotherLengthFails) {
  const std::string name = BlobName(kSize, 7);
  const std::string partial = MakeBlob(kSize, 7).substr(0, 300);
  PutPartial(Utf8ToUtf16(name), partial);
  ASSERT_EQ(m_engine->DownloadFile(Url("/always-416/" + name), Utf8ToUtf16(name), 0, 7), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 7), (PageReport{-1, 0, 7, 0}));
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), partial);
}

TEST_F(DownloadTest, ReplyWithoutLengthSendsNoPercentagesButCompletes) {
  const std::string name = BlobName(kSize, 8);
  ASSERT_EQ(m_engine->DownloadFile(Url("/no-length/" + name), Utf8ToUtf16(name), 0, 8), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 8), (PageReport{2, 0, 8, 100}));
  EXPECT_EQ(m_page.ReportsFor(0, 8).size(), 1u);
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), MakeBlob(kSize, 8));
}

TEST_F(DownloadTest, ConnectionLostMidBodyFailsAndTheNextDownloadCompletesTheFile) {
  const std::string name = BlobName(kSize, 9);
  const std::string source = MakeBlob(kSize, 9);
  ASSERT_EQ(m_engine->DownloadFile(Url("/drop/" + name + "?at=40000"), Utf8ToUtf16(name), 0, 9), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 9).code, -1);
  const std::string partial = ReadBytes(OnDisk(Utf8ToUtf16(name)));
  EXPECT_EQ(partial, source.substr(0, partial.size()));
  EXPECT_EQ(m_engine->Tools().Find(MakeToolKey(0, 9))->state, -1);

  m_page.Clear();
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), Utf8ToUtf16(name), 0, 9), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 9).code, 2);
  EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(Utf8ToUtf16(name)))), Sha256Hex(source));
}

TEST_F(DownloadTest, RangedReplyWithoutLengthThatEndsShortOfItsRangeFails) {
  const std::string name = BlobName(kSize, 21);
  const std::string source = MakeBlob(kSize, 21);
  PutPartial(Utf8ToUtf16(name), source.substr(0, 1000));
  ASSERT_EQ(m_engine->DownloadFile(Url("/drop-no-length/" + name + "?at=40000"), Utf8ToUtf16(name),
                                   0, 21),
            1);
  EXPECT_EQ(m_page.WaitForEnd(0, 21).code, -1);
  // Kept, to be continued.
  EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(Utf8ToUtf16(name)))), Sha256Hex(source.substr(0, 40000)));
}

// A download cut off at 40000 bytes, resumed after the file did or did not change on the
// server: only an unchanged file is continued, a changed one starts again.
struct ResumeCase {
  const char* validators;  // what the server sends (see fault_server.h)
  uint32_t version;        // 0: the file as it was
  bool ifRange;
};

TEST_F(DownloadTest, ResumeContinuesOnlyAFileThatDidNotChange) {
  const ResumeCase cases[] = {
      {"", 0, true},      {"", 1, true},      // strong ETag
      {"date", 0, true},  {"date", 2, true},  // Last-Modified alone
      {"weak", 0, true},  {"weak", 3, true},  // a weak ETag is passed over for the date
      {"none", 0, false},                     // nothing to compare: a plain range
  };
  std::set<std::u16string> names;
  for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
    const ResumeCase& c = cases[i];
    const std::string name = BlobName(kSize, 60 + i);
    const std::string query = std::string("?validators=") + c.validators;
    names.insert(Utf8ToUtf16(name));
    ASSERT_EQ(
        m_engine->DownloadFile(Url("/drop/" + name + query + "&at=40000"), Utf8ToUtf16(name), 6, i),
        1);
    ASSERT_EQ(m_page.WaitForEnd(6, i).code, -1) << i;
    const size_t partial = ReadBytes(OnDisk(Utf8ToUtf16(name))).size();
    const std::string url = "/file/" + name + query + "&v=" + std::to_string(c.version);
    ASSERT_EQ(m_engine->DownloadFile(Url(url), Utf8ToUtf16(name), 7, i), 1);
    EXPECT_EQ(m_page.WaitForEnd(7, i).code, 2) << i;
    EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(Utf8ToUtf16(name)))),
              Sha256Hex(ChangedVersion(MakeBlob(kSize, 60 + i), c.version)))
        << i;
    if (const auto seen = m_peer.Requests()) {
      EXPECT_EQ(seen->back().range, "bytes=" + std::to_string(partial) + "-") << i;
      EXPECT_EQ(!seen->back().ifRange.empty(), c.ifRange) << i;
    }
  }
  // What the engine kept beside the partial files went with their completion.
  std::set<std::u16string> onDisk;
  for (const auto& entry : std::filesystem::directory_iterator(NativePath(OnDisk(u"")))) {
    onDisk.insert(entry.path().filename().u16string());
  }
  EXPECT_EQ(onDisk, names);
}

TEST_F(DownloadTest, ServerThatIgnoresIfRangeCannotSpliceAChangedFile) {
  const std::string name = BlobName(kSize, 22);
  ASSERT_EQ(m_engine->DownloadFile(Url("/drop/" + name + "?at=40000"), Utf8ToUtf16(name), 0, 22),
            1);
  ASSERT_EQ(m_page.WaitForEnd(0, 22).code, -1);
  // A range of the changed file under another ETag: refused, and the old part goes.
  ASSERT_EQ(
      m_engine->DownloadFile(Url("/ignore-if-range/" + name + "?v=1"), Utf8ToUtf16(name), 0, 23),
      1);
  EXPECT_EQ(m_page.WaitForEnd(0, 23).code, -1);
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))).size(), 0u);
  ASSERT_EQ(
      m_engine->DownloadFile(Url("/ignore-if-range/" + name + "?v=1"), Utf8ToUtf16(name), 0, 24),
      1);
  EXPECT_EQ(m_page.WaitForEnd(0, 24).code, 2);
  EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(Utf8ToUtf16(name)))),
            Sha256Hex(ChangedVersion(MakeBlob(kSize, 22), 1)));
}

TEST_F(DownloadTest, RedirectsAreFollowedUpToTen) {
  const std::string name = BlobName(kSize, 10);
  ASSERT_EQ(m_engine->DownloadFile(Url("/redirect/10/" + name), Utf8ToUtf16(name), 0, 10), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 10).code, 2);
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), MakeBlob(kSize, 10));

  ASSERT_EQ(m_engine->DownloadFile(Url("/redirect/11/" + name), u"other", 0, 11), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 11).code, -1);
  EXPECT_EQ(ReadBytes(OnDisk(u"other")), "");
}

TEST_F(DownloadTest, ErrorStatusFailsAndLeavesAnEmptyFile) {
  for (const int status : {404, 500, 302}) {
    const int32_t b = 100 + status;
    const std::u16string name = u"missing-" + Utf8ToUtf16(std::to_string(status));
    ASSERT_EQ(m_engine->DownloadFile(Url("/status/" + std::to_string(status)), name, 0, b), 1);
    EXPECT_EQ(m_page.WaitForEnd(0, b), (PageReport{-1, 0, b, 0})) << status;
    EXPECT_EQ(ReadBytes(OnDisk(name)), "") << status;
  }
}

TEST_F(DownloadTest, UnreachableOrForeignAddressesReportFailure) {
  // Nothing listens on port 1; other schemes are not fetched at all.
  ASSERT_EQ(m_engine->DownloadFile(u"http://127.0.0.1:1/x", u"a", 0, 1), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 1).code, -1);
  ASSERT_EQ(m_engine->DownloadFile(u"file:///etc/hostname", u"b", 0, 2), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 2).code, -1);
  EXPECT_EQ(ReadBytes(OnDisk(u"b")), "");
  ASSERT_EQ(m_engine->DownloadFile(u"not a url", u"c", 0, 3), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 3).code, -1);
}

TEST_F(DownloadTest, LongUrlsAreFetched) {
  const std::string name = BlobName(1000, 12);
  const std::string query = "?pad=" + std::string(5000, 'q');
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name + query), Utf8ToUtf16(name), 0, 12), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 12).code, 2);
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), MakeBlob(1000, 12));
}

TEST_F(DownloadTest, PauseStopsAtTheNextEventAndResumeSendsOnlyNewPercentages) {
  const std::string name = BlobName(kSize, 13);
  const std::u16string file = Utf8ToUtf16(name);
  const std::string drip = "/drip/" + name + "?chunk=1000&ms=5";
  ASSERT_EQ(m_engine->DownloadFile(Url(drip), file, 0, 13), 1);
  ASSERT_TRUE(m_page.WaitFor([](const PageReport& r) { return r.code == 1 && r.value >= 40; }));
  EXPECT_EQ(m_engine->PauseDownload(0, 13), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 13), (PageReport{-100, 0, 13, 0}));
  const auto entry = m_engine->Tools().Find(MakeToolKey(0, 13));
  EXPECT_EQ(entry->state, -100);
  const int32_t lastPercent = entry->lastPercent;
  const size_t partial = ReadBytes(OnDisk(file)).size();
  EXPECT_GT(partial, 0u);
  EXPECT_LT(partial, kSize);

  m_page.Clear();
  ASSERT_EQ(m_engine->DownloadFile(Url(drip), file, 0, 13), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 13).code, 2);
  const auto reports = m_page.ReportsFor(0, 13);
  ASSERT_FALSE(reports.empty());
  EXPECT_GT(reports.front().value, lastPercent);  // nothing while the percentage stood still
  ExpectRisingPercentages(reports);
  EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(file))), Sha256Hex(MakeBlob(kSize, 13)));
}

TEST_F(DownloadTest, RunningDownloadRefusesItsKeyAndItsFileToOthers) {
  const std::string name = BlobName(kSize, 14);
  const std::u16string file = Utf8ToUtf16(name);
  const std::string drip = "/drip/" + name + "?chunk=500&ms=10";
  ASSERT_EQ(m_engine->DownloadFile(Url(drip), file, 3, 14), 1);
  ASSERT_TRUE(m_page.WaitFor([](const PageReport& r) { return r.code == 1; }));
  EXPECT_EQ(m_engine->DownloadFile(Url(drip), u"elsewhere", 3, 14), 0);  // same key
  EXPECT_EQ(m_engine->DownloadFile(Url(drip), file, 3, 15), 0);          // same file
  // Refused with no report, and the refused key did not get stuck.
  EXPECT_EQ(m_page.ReportsFor(3, 15).size(), 0u);
  EXPECT_NE(m_engine->Tools().Find(MakeToolKey(3, 15))->state, 1);

  ASSERT_EQ(m_engine->PauseDownload(3, 14), 1);
  EXPECT_EQ(m_page.WaitForEnd(3, 14).code, -100);
  // Ended: the same key starts again and continues the file.
  m_page.Clear();
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), file, 3, 14), 1);
  EXPECT_EQ(m_page.WaitForEnd(3, 14).code, 2);
  EXPECT_EQ(ReadBytes(OnDisk(file)), MakeBlob(kSize, 14));
}

TEST_F(DownloadTest, ReportsCarryTheKeyHalvesAsSigned) {
  const std::string name = BlobName(2000, 15);
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), Utf8ToUtf16(name), 5, -1), 1);
  EXPECT_EQ(m_page.WaitForEnd(4, -1), (PageReport{2, 4, -1, 100}));
  for (const PageReport& r : m_page.Reports()) {
    EXPECT_EQ(r.high, 4);
    EXPECT_EQ(r.low, -1);
  }
  EXPECT_EQ(m_engine->PauseDownload(5, -1), 1);
  EXPECT_EQ(m_engine->PauseDownload(4, -1), 0);  // another key altogether
}

TEST_F(DownloadTest, TwentyConcurrentDownloadsMatchTheirSources) {
  constexpr int kCount = 20;
  for (int i = 0; i < kCount; ++i) {
    const std::string name = BlobName(150000 + static_cast<size_t>(i) * 7919, 100 + i);
    // Some resume from a partial file, so both kinds run at once.
    if (i % 3 == 0)
      PutPartial(Utf8ToUtf16(name), MakeBlob(150000 + i * 7919, 100 + i).substr(0, 777));
    ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), Utf8ToUtf16(name), 9, i), 1);
  }
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(m_page.WaitForEnd(9, i).code, 2) << i;
    const size_t size = 150000 + static_cast<size_t>(i) * 7919;
    const std::string name = BlobName(size, 100 + i);
    EXPECT_EQ(Sha256Hex(ReadBytes(OnDisk(Utf8ToUtf16(name)))), Sha256Hex(MakeBlob(size, 100 + i)))
        << i;
    ExpectRisingPercentages(m_page.ReportsFor(9, i));
  }
}

TEST_F(DownloadTest, PageMayCallBackIntoTheEngineFromItsReport) {
  const std::string name = BlobName(kSize, 16);
  // The page pauses from inside OnDownloadProgress: no lock of the engine may be held.
  m_page.SetHook([this](const PageReport& r) {
    if (r.code == 1 && r.value >= 30) m_engine->PauseDownload(0, 16);
  });
  ASSERT_EQ(
      m_engine->DownloadFile(Url("/drip/" + name + "?chunk=2000&ms=2"), Utf8ToUtf16(name), 0, 16),
      1);
  EXPECT_EQ(m_page.WaitForEnd(0, 16).code, -100);
  m_page.SetHook(nullptr);
}

TEST_F(DownloadTest, DestroyingTheEngineStopsRunningDownloadsWithoutReports) {
  const std::string name = BlobName(kSize, 17);
  ASSERT_EQ(
      m_engine->DownloadFile(Url("/drip/" + name + "?chunk=500&ms=10"), Utf8ToUtf16(name), 0, 17),
      1);
  ASSERT_TRUE(m_page.WaitFor([](const PageReport& r) { return r.code == 1; }));
  m_engine.reset();
  const size_t reports = m_page.Reports().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(m_page.Reports().size(), reports);
  // The partial file is released and continues in a new engine.
  ResetEngine();
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), Utf8ToUtf16(name), 0, 17), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 17).code, 2);
  EXPECT_EQ(ReadBytes(OnDisk(Utf8ToUtf16(name))), MakeBlob(kSize, 17));
}

TEST_F(DownloadTest, RefusedRequestsChangeNothing) {
  const std::string name = BlobName(1000, 18);
  // A folder inside the name is not created: the file cannot be opened.
  EXPECT_EQ(m_engine->DownloadFile(Url("/file/" + name), u"sub/x.zip", 0, 18), 0);
  EXPECT_EQ(m_engine->DownloadFile(Url("/file/" + name), u"sub\\x.zip", 0, 18), 0);
  // The entry is not left "downloading": the same key may try again.
  ASSERT_EQ(m_engine->DownloadFile(Url("/file/" + name), u"x.zip", 0, 18), 1);
  EXPECT_EQ(m_page.WaitForEnd(0, 18).code, 2);
  EXPECT_EQ(m_page.Reports().size(), 2u);  // 100 %, then complete; nothing for the refusals

  for (const std::u16string unsafe :
       {u"../x.zip", u"a/../../x.zip", u"..\\x.zip", u"/tmp/x.zip", u"\\x.zip", u"C:\\x.zip",
        u"C:x.zip", u"..", u"", u"con.zip", u"x.zip:s", u"x.zip."}) {
    EXPECT_EQ(m_engine->DownloadFile(Url("/file/" + name), unsafe, 0, 19), 0);
  }
  EXPECT_FALSE(m_engine->Tools().Find(MakeToolKey(0, 19)));
  EXPECT_EQ(m_engine->PauseDownload(0, 19), 0);  // never downloaded
  EXPECT_EQ(m_engine->PauseDownload(0, 18), 1);
}

}  // namespace
}  // namespace zeva::test
