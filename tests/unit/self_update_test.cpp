// The self-update on the test port: when it asks, what it starts and how, the updater that
// cannot be fetched, and the client's end in every case.
#include <gtest/gtest.h>

#include "app/self_update.h"
#include "game/profile.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

class SelfUpdateTest : public ::testing::Test {
 protected:
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
  int m_quits = 0;
  // Port 1: nobody listens, so a download fails at once.
  SelfUpdate m_update{m_test.platform, u"http://127.0.0.1:1", [] { return WindowHandle{0x700}; },
                      [this] { ++m_quits; }};
};

TEST_F(SelfUpdateTest, ThePagesRequestAsksUnlessTheSettingIsOne) {
  test::WriteBytes(m_updater, "updater");
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
  EXPECT_EQ(test::ReadBytes(m_updater), "updater");  // used as it is, never fetched again
}

TEST_F(SelfUpdateTest, StartNeverAsks) {
  SetAutoupdate(u"0");
  test::WriteBytes(m_updater, "updater");
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

}  // namespace
}  // namespace zeva
