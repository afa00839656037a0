// The engine's rules that need no network: tool keys, reply headers, names, the tool table,
// and transfers that never reach the network or end oddly (through a scripted HTTP layer).
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <thread>

#include "download/download_engine.h"
#include "download/download_path.h"
#include "download/reply_headers.h"
#include "download/tool_key.h"
#include "download/tool_table.h"
#include "platform/path_style.h"
#include "support/recording_page_callback.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva::test {
namespace {

TEST(ToolKeyTest, SignExtendsTheSecondIdentifier) {
  EXPECT_EQ(MakeToolKey(5, -1), (uint64_t{5} << 32) - 1);
  EXPECT_EQ(KeyHigh(MakeToolKey(5, -1)), 4);
  EXPECT_EQ(KeyLow(MakeToolKey(5, -1)), -1);
  EXPECT_EQ(KeyHigh(MakeToolKey(5, 7)), 5);
  EXPECT_EQ(KeyLow(MakeToolKey(5, 7)), 7);
  EXPECT_EQ(KeyHigh(MakeToolKey(0, INT32_MIN)), -1);
  EXPECT_EQ(KeyLow(MakeToolKey(0, INT32_MIN)), INT32_MIN);
  EXPECT_EQ(KeyHigh(MakeToolKey(-1, 0)), -1);
  for (const auto& [a, b] : {std::pair{5, -1}, {0, 0}, {-7, 3}, {INT32_MAX, INT32_MIN}}) {
    const ToolKey key = MakeToolKey(a, b);
    EXPECT_EQ(KeyFromHalves(KeyHigh(key), KeyLow(key)), key);
  }
  // (5, −1) and (4, 2^32 − 1 as −1) are one key: the table cannot tell them apart.
  EXPECT_EQ(MakeToolKey(5, -1), KeyFromHalves(4, -1));
}

TEST(ReplyHeadersTest, ContentLengthIsDigitsOnly) {
  EXPECT_EQ(ParseContentLength("1234"), 1234u);
  EXPECT_EQ(ParseContentLength(" 0 "), 0u);
  EXPECT_EQ(ParseContentLength("5368709120"), 5368709120u);  // past 32 bits
  EXPECT_EQ(ParseContentLength("18446744073709551615"), UINT64_MAX);
  for (const char* bad : {"", "-1", "+5", "12a", "1 2", "18446744073709551616", "0x10"}) {
    EXPECT_FALSE(ParseContentLength(bad)) << bad;
  }
}

TEST(ReplyHeadersTest, ContentRangeOfAPartialReply) {
  const auto range = ParseContentRange("bytes 1000-4999/100000");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->first, 1000u);
  EXPECT_EQ(range->last, 4999u);
  EXPECT_EQ(range->completeLength, 100000u);
  EXPECT_EQ(ParseContentRange("Bytes 0-0/*")->completeLength, std::nullopt);
  for (const char* bad : {"", "bytes */100", "bytes 10-5/100", "bytes 0-100/100", "items 0-1/2",
                          "bytes 1-", "bytes1-2/3", "bytes -1-2/3", "bytes 1-2/3x"}) {
    EXPECT_FALSE(ParseContentRange(bad)) << bad;
  }
}

TEST(ReplyHeadersTest, ResumeValidatorIsAStrongETagElseTheDate) {
  const std::string date = "Mon, 01 Jan 2024 00:00:00 GMT";
  const std::string control = "Mon, 01 Jan 2024\r\nX: 1";
  const struct {
    std::optional<std::string> etag, lastModified, expected;
  } cases[] = {
      {"\"abc\"", date, "\"abc\""},
      {"W/\"abc\"", date, date},  // a weak tag cannot ask for a range
      {"\"a\"b\"", date, date},   // not one quoted tag
      {"W/\"abc\"", std::nullopt, std::nullopt},
      {std::nullopt, control, std::nullopt},
      {std::nullopt, "\"quoted\"", std::nullopt},  // a date must not pass for a tag
      {"\"" + std::string(300, 'x') + "\"", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResumeValidator(c.etag, c.lastModified), c.expected)
        << c.etag.value_or("-") << " / " << c.lastModified.value_or("-");
  }
}

TEST(ReplyHeadersTest, ContentRangeOfAnUnsatisfiableRange) {
  EXPECT_EQ(ParseUnsatisfiedRangeLength("bytes */100000"), 100000u);
  EXPECT_EQ(ParseUnsatisfiedRangeLength("bytes */0"), 0u);
  for (const char* bad : {"", "bytes */", "bytes */*", "bytes 0-1/2", "*/5", "bytes */5 6"}) {
    EXPECT_FALSE(ParseUnsatisfiedRangeLength(bad)) << bad;
  }
}

TEST(DownloadPathTest, NamesStayUnderDownloads) {
  for (const std::u16string_view good :
       {u"a.zip", u"sub/a.zip", u"sub\\a.zip", u"..a", u"a/..b", u"补丁.zip"}) {
    EXPECT_TRUE(IsAcceptableDownloadName(good));
  }
  for (const std::u16string_view bad :
       {u"", u"..", u"../a", u"a/..", u"a\\..\\..\\b", u"/a", u"\\a", u"\\\\server\\share\\a",
        u"C:a", u"c:\\a", u"a..", u"con.zip"}) {
    EXPECT_FALSE(IsAcceptableDownloadName(bad));
  }
  std::u16string expected = u"/c/Downloads";
  expected += kPathSeparator;
  expected += u"a.zip";
  EXPECT_EQ(DownloadPath(u"/c/", u"a.zip"), expected);
}

TEST(ToolTableTest, PercentageIsReportedOnlyWhenItChanges) {
  ToolTable table;
  const ToolKey key = MakeToolKey(1, 2);
  ASSERT_TRUE(table.Begin(1, 2));
  EXPECT_FALSE(table.Begin(1, 2));  // downloading
  EXPECT_EQ(table.Progress(key, 1000, 5), 0);
  EXPECT_FALSE(table.Progress(key, 1000, 9));
  EXPECT_EQ(table.Progress(key, 1000, 10), 1);
  EXPECT_EQ(table.Progress(key, 1000, 1000), 100);
  EXPECT_EQ(table.Progress(key, 1000, 2000), std::nullopt);  // never past 100
  EXPECT_FALSE(table.Progress(key, 0, 500));                 // no length, no percentage
  EXPECT_FALSE(table.Progress(MakeToolKey(9, 9), 10, 5));    // no entry

  ASSERT_TRUE(table.End(key, kEventPaused));
  // Starting again keeps the last percent, so an unchanged figure is not repeated.
  ASSERT_TRUE(table.Begin(1, 2));
  EXPECT_EQ(table.Find(key)->lastPercent, 100);
  EXPECT_EQ(table.Find(key)->bytesOnDisk, 0u);
}

TEST(ToolTableTest, PauseRequestIsClearedByTheNextDownload) {
  ToolTable table;
  EXPECT_FALSE(table.RequestPause(MakeToolKey(3, 4)));
  std::atomic<int32_t>* pause = table.Begin(3, 4);
  ASSERT_TRUE(pause);
  EXPECT_TRUE(table.RequestPause(MakeToolKey(3, 4)));
  EXPECT_EQ(pause->load(), -100);
  EXPECT_EQ(table.Find(MakeToolKey(3, 4))->state, 1);  // the state waits for the transfer
  table.End(MakeToolKey(3, 4), kEventFailed);
  EXPECT_TRUE(table.RequestPause(MakeToolKey(3, 4)));  // while nothing runs
  EXPECT_EQ(table.Begin(3, 4), pause);                 // the same entry
  EXPECT_EQ(pause->load(), 0);
}

// An HTTP layer that plays a fixed reply on a thread of its own.
struct ScriptedReply {
  bool session = true;
  bool send = true;
  uint32_t status = 200;
  std::optional<std::string> contentLength;
  std::optional<std::string> contentRange;
  std::string body;
  bool zeroByteRead = false;  // the read after the body's bytes completes with nothing
};

class ScriptedHttp final : public IHttpClient {
 public:
  explicit ScriptedHttp(ScriptedReply reply) : m_reply(std::move(reply)) {}
  ~ScriptedHttp() override {
    for (std::thread& t : m_threads) t.join();
  }
  std::unique_ptr<IHttpSession> OpenSession(std::u16string_view) override;
  ScriptedReply m_reply;
  std::vector<std::thread> m_threads;
  std::vector<std::u16string> m_asked;  // the addresses requests were opened for
};

class ScriptedRequest final : public IHttpRequest {
 public:
  ScriptedRequest(ScriptedHttp& http, IHttpEvents& events)
      : m_play(std::make_shared<Play>(http.m_reply, events)), m_http(http) {}
  // Destroyed inside an event: the play stops after it.
  ~ScriptedRequest() override { m_play->next = nullptr; }

  bool Send() override {
    if (!m_play->reply.send) return false;
    m_http.m_threads.emplace_back([play = m_play] { play->Run(); });
    return true;
  }
  bool ReceiveResponse() override {
    m_play->next = [play = m_play.get()] { play->events.OnHeadersAvailable(); };
    return true;
  }
  bool QueryDataAvailable() override {
    m_play->next = [play = m_play.get()] {
      const size_t left = play->reply.body.size() - play->offset;
      play->events.OnDataAvailable(left == 0 && play->reply.zeroByteRead ? 1 : left);
    };
    return true;
  }
  bool ReadData(void* buffer, size_t size) override {
    m_play->next = [play = m_play.get(), buffer, size] {
      const size_t n = std::min(size, play->reply.body.size() - play->offset);
      std::memcpy(buffer, play->reply.body.data() + play->offset, n);
      play->offset += n;
      play->events.OnReadComplete(n);
    };
    return true;
  }
  std::optional<uint32_t> StatusCode() override { return m_play->reply.status; }
  std::optional<std::string> Header(std::string_view name) override {
    if (name == "Content-Length") return m_play->reply.contentLength;
    return name == "Content-Range" ? m_play->reply.contentRange : std::nullopt;
  }
  void Cancel() override {}

 private:
  // The owner asks for the next step inside each event; an event that asks for nothing,
  // or destroys the request, ends the play.
  struct Play {
    Play(const ScriptedReply& r, IHttpEvents& e) : reply(r), events(e) {}
    void Run() {
      next = [this] { events.OnSendComplete(); };
      while (next) std::exchange(next, nullptr)();
    }
    const ScriptedReply reply;
    IHttpEvents& events;
    std::function<void()> next;
    size_t offset = 0;
  };
  std::shared_ptr<Play> m_play;
  ScriptedHttp& m_http;
};

class ScriptedSession final : public IHttpSession {
 public:
  explicit ScriptedSession(ScriptedHttp& http) : m_http(http) {}
  std::unique_ptr<IHttpRequest> OpenRequest(std::u16string_view url,
                                            const std::vector<std::string>&,
                                            IHttpEvents& events) override {
    m_http.m_asked.emplace_back(url);
    return std::make_unique<ScriptedRequest>(m_http, events);
  }
  ScriptedHttp& m_http;
};

std::unique_ptr<IHttpSession> ScriptedHttp::OpenSession(std::u16string_view) {
  if (!m_reply.session) return nullptr;
  return std::make_unique<ScriptedSession>(*this);
}

class ScriptedDownloadTest : public ::testing::Test {
 protected:
  std::u16string OnDisk(std::u16string_view name) const {
    return m_folder.Path() + u"Downloads" + kPathSeparator + std::u16string(name);
  }
  TempFolder m_folder;
  TestPlatform m_port{m_folder.Path()};
  RecordingPageCallback m_page;
};

TEST_F(ScriptedDownloadTest, NoSessionRefusesAndReleasesTheKeyAndTheFile) {
  ScriptedHttp http({.session = false});
  DownloadEngine engine(m_port.platform, m_page, http);
  EXPECT_EQ(engine.DownloadFile(u"http://h/x", u"x.bin", 1, 1), 0);
  EXPECT_EQ(engine.DownloadFile(u"http://h/x", u"x.bin", 1, 1), 0);  // refused again, not stuck
  EXPECT_EQ(engine.Tools().Find(MakeToolKey(1, 1))->state, -1);
  EXPECT_TRUE(m_page.Reports().empty());
  auto writer = m_port.files.OpenForAppend(OnDisk(u"x.bin"));  // no one holds it
  EXPECT_TRUE(writer);
}

TEST_F(ScriptedDownloadTest, RequestThatCannotBeSentIsReportedBeforeDownloadFileReturns) {
  ScriptedHttp http({.send = false});
  DownloadEngine engine(m_port.platform, m_page, http);
  EXPECT_EQ(engine.DownloadFile(u"http://h/x", u"x.bin", 1, 2), 1);
  EXPECT_EQ(m_page.Reports(), (std::vector<PageReport>{{-1, 1, 2, 0}}));
}

TEST_F(ScriptedDownloadTest, RefusedAddressFailsAsATransferThatCannotStartWithoutAskingHttp) {
  ScriptedHttp http({.body = "abc"});
  DownloadEngine engine(m_port.platform, m_page, http);
  const std::u16string refused[] = {u"ftp://h/x", u"file:///c:/x", u"http:///x",
                                    u"http://" + std::u16string(256, u'h') + u"/x",
                                    u"http://h/a b"};
  int32_t b = 0;
  for (const std::u16string& url : refused) {
    EXPECT_EQ(engine.DownloadFile(url, u"x.bin", 6, b), 1) << b;
    EXPECT_EQ(m_page.WaitForEnd(6, b), (PageReport{-1, 6, b, 0})) << b;
    ++b;
  }
  EXPECT_TRUE(http.m_asked.empty());
  // The same key and file are free again, and an accepted address goes through as given.
  ASSERT_EQ(engine.DownloadFile(u"HTTP://h/x", u"x.bin", 6, 0), 1);
  EXPECT_TRUE(m_page.WaitFor([](const PageReport& r) { return r == PageReport{2, 6, 0, 100}; }));
  EXPECT_EQ(http.m_asked, std::vector<std::u16string>{u"HTTP://h/x"});
  EXPECT_EQ(ReadBytes(OnDisk(u"x.bin")), "abc");
}

TEST_F(ScriptedDownloadTest, ZeroByteReadEndsTheTransfer) {
  ScriptedHttp http({.body = "abc", .zeroByteRead = true});
  DownloadEngine engine(m_port.platform, m_page, http);
  ASSERT_EQ(engine.DownloadFile(u"http://h/x", u"x.bin", 1, 3), 1);
  EXPECT_EQ(m_page.WaitForEnd(1, 3), (PageReport{2, 1, 3, 100}));
  EXPECT_EQ(ReadBytes(OnDisk(u"x.bin")), "abc");
}

TEST_F(ScriptedDownloadTest, BodyShorterThanItsLengthFails) {
  ScriptedHttp http({.contentLength = "10", .body = "abc", .zeroByteRead = true});
  DownloadEngine engine(m_port.platform, m_page, http);
  ASSERT_EQ(engine.DownloadFile(u"http://h/x", u"x.bin", 1, 4), 1);
  EXPECT_EQ(m_page.WaitForEnd(1, 4).code, -1);
  EXPECT_EQ(ReadBytes(OnDisk(u"x.bin")), "abc");  // kept, to be continued
}

TEST_F(ScriptedDownloadTest, PartialReplyEndsWhereItsRangeSays) {
  const struct {
    const char* range;
    std::optional<std::string> length;
    int32_t end;
    const char* written;
  } cases[] = {
      {"bytes 0-9/10", std::nullopt, -1, "abcdef"},  // the connection closed four bytes early
      {"bytes 0-5/6", std::nullopt, 2, "abcdef"},
      {"bytes 0-5/*", std::nullopt, 2, "abcdef"},
      {"bytes 0-5/10", "6", -1, "abcdef"},  // the whole range, but not the whole file
      {"bytes 0-9/10", "6", -1, ""},        // a length the range contradicts
  };
  int32_t key = 0;
  for (const auto& c : cases) {
    ScriptedHttp http(
        {.status = 206, .contentLength = c.length, .contentRange = c.range, .body = "abcdef"});
    DownloadEngine engine(m_port.platform, m_page, http);
    const std::u16string name = u"r" + std::u16string(1, static_cast<char16_t>(u'0' + key));
    ASSERT_EQ(engine.DownloadFile(u"http://h/x", name, 2, key), 1);
    EXPECT_EQ(m_page.WaitForEnd(2, key).code, c.end) << c.range;
    EXPECT_EQ(ReadBytes(OnDisk(name)), c.written) << c.range;
    ++key;
  }
}

TEST_F(ScriptedDownloadTest, UnreadableLengthMeansNoPercentages) {
  ScriptedHttp http({.contentLength = "-5", .body = "abcdef"});
  DownloadEngine engine(m_port.platform, m_page, http);
  ASSERT_EQ(engine.DownloadFile(u"http://h/x", u"x.bin", 1, 5), 1);
  EXPECT_EQ(m_page.WaitForEnd(1, 5), (PageReport{2, 1, 5, 100}));
  EXPECT_EQ(m_page.Reports().size(), 1u);
}

}  // namespace
}  // namespace zeva::test
