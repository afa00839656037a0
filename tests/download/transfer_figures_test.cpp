// A download's figures as a page reads them (GetDownloadedBytes, GetDownloadTotalBytes,
// GetDownloadSpeed, GetDownloadTimeLeft) while the engine fetches a paced file, then after it
// ends or pauses.
#include <gtest/gtest.h>

#include <array>

#include "download_fixture.h"
#include "host/external_dispatcher.h"
#include "zeva/endpoints.h"

namespace zeva::test {
namespace {

class TransferFiguresTest : public DownloadTest {
 protected:
  // done, total, speed, seconds left
  std::array<double, 4> Figures(int32_t a, int32_t b) {
    std::array<double, 4> values{};
    int i = 0;
    for (const char16_t* name : {u"GetDownloadedBytes", u"GetDownloadTotalBytes",
                                 u"GetDownloadSpeed", u"GetDownloadTimeLeft"}) {
      const ScriptValue args[] = {ScriptValue::Int32(a), ScriptValue::Int32(b)};
      const InvokeResult result = m_dispatcher.Invoke(FindMethod(name), args, m_portal);
      EXPECT_EQ(result.error, kSOk);
      values[i++] = result.value.number;
    }
    return values;
  }

  const std::u16string m_portal = std::u16string(endpoints::kToolServer) + u"/CF30/";
  PageRegistration m_registration;
  ExternalDispatcher m_dispatcher{
      m_port.platform, m_registration,
      ScriptHostLinks{nullptr, nullptr, nullptr, nullptr, nullptr, [this](int32_t a, int32_t b) {
                        return m_engine->Tools().Figures(MakeToolKey(a, b));
                      }}};
};

TEST_F(TransferFiguresTest, FiguresOfAPacedDownloadThenOfItsEnd) {
  // 120 kB at 2 kB every 20 ms: a few seconds.
  constexpr size_t kSize = 120000;
  const std::string name = BlobName(kSize, 41);
  EXPECT_EQ(Figures(17, 41), (std::array<double, 4>{-1, -1, -1, -1}));  // no such download
  ASSERT_EQ(
      m_engine->DownloadFile(Url("/drip/" + name + "?chunk=2000&ms=20"), Utf8ToUtf16(name), 17, 41),
      1);
  // Well under way, with more than a measuring slot behind it.
  ASSERT_TRUE(m_page.WaitFor([](const PageReport& r) { return r.low == 41 && r.value >= 40; }));
  const std::array<double, 4> running = Figures(17, 41);
  std::printf("at 40%%: %.0f of %.0f bytes, %.0f bytes/s, %.0f s left\n", running[0], running[1],
              running[2], running[3]);
  EXPECT_GE(running[0], kSize * 0.4);
  EXPECT_LT(running[0], kSize);
  EXPECT_EQ(running[1], kSize);
  EXPECT_GT(running[2], 0);
  EXPECT_GT(running[3], 0);

  EXPECT_EQ(m_page.WaitForEnd(17, 41).code, 2);
  EXPECT_EQ(Figures(17, 41), (std::array<double, 4>{kSize, kSize, 0, 0}));
}

TEST_F(TransferFiguresTest, APausedDownloadKeepsItsBytesAndLosesItsSpeed) {
  constexpr size_t kSize = 200000;
  const std::string name = BlobName(kSize, 42);
  ASSERT_EQ(
      m_engine->DownloadFile(Url("/drip/" + name + "?chunk=1000&ms=20"), Utf8ToUtf16(name), 17, 42),
      1);
  ASSERT_TRUE(m_page.WaitFor([](const PageReport& r) { return r.low == 42 && r.value >= 5; }));
  ASSERT_EQ(m_engine->PauseDownload(17, 42), 1);
  EXPECT_EQ(m_page.WaitForEnd(17, 42).code, -100);
  const std::array<double, 4> paused = Figures(17, 42);
  EXPECT_GT(paused[0], 0);
  EXPECT_LT(paused[0], kSize);
  EXPECT_EQ(paused[1], kSize);
  EXPECT_EQ(paused[2], 0);
  EXPECT_EQ(paused[3], -1);
}

}  // namespace
}  // namespace zeva::test
