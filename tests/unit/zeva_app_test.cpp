#include <gtest/gtest.h>

#include "app/zeva_app.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

using test::TestPlatform;

TEST(ZevaAppTest, TheFirstInstanceRunsTheMainWindowBetweenStartAndStop) {
  TestPlatform test;
  std::vector<std::string> order;
  const int code = RunClient(test.platform, [&] {
    EXPECT_EQ(test.toolkit.starts, 1);
    EXPECT_EQ(test.toolkit.stops, 0);
    order.push_back("main window");
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(order, std::vector<std::string>{"main window"});
  EXPECT_EQ(test.instance.names, std::vector<std::u16string>{u"ZEVAMutex"});
  EXPECT_EQ(test.toolkit.stops, 1);
  EXPECT_TRUE(test.windows.foregroundRequests.empty());
}

TEST(ZevaAppTest, ASecondInstanceShowsTheFirstAndEnds) {
  TestPlatform test;
  test.instance.answer = InstanceLock::kAlreadyExists;
  test.windows.windowsByTitle[u"KIVO穿越火线泽瓦助手"] = 0x1234;
  test.windows.windowsByTitle[u"KIVO穿越火线泽瓦助手 "] = 0x9999;  // not the exact title
  bool ran = false;
  CZEVA30App app(test.platform, [&] { ran = true; });
  EXPECT_FALSE(app.InitInstance());
  EXPECT_TRUE(app.WasSecondInstance());
  EXPECT_EQ(app.ExitInstance(), 0);
  EXPECT_FALSE(ran);
  EXPECT_EQ(test.windows.foregroundRequests, std::vector<WindowHandle>{0x1234});
  // Shown first, so a window hidden to the tray comes back too.
  EXPECT_EQ(test.windows.showCommands,
            (std::vector<std::pair<WindowHandle, int>>{{0x1234, kSwShow}}));
  EXPECT_TRUE(test.dialogs.boxes.empty());
}

TEST(ZevaAppTest, ASecondInstanceBeforeTheWindowExistsEndsQuietly) {
  TestPlatform test;
  test.instance.answer = InstanceLock::kAlreadyExists;
  bool ran = false;
  EXPECT_EQ(RunClient(test.platform, [&] { ran = true; }), 0);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(test.windows.foregroundRequests.empty());
}

TEST(ZevaAppTest, OnlyTheLockDecides) {
  TestPlatform test;
  // A stranger's window with our title does not stop a start.
  test.windows.windowsByTitle[u"KIVO穿越火线泽瓦助手"] = 0x42;
  bool ran = false;
  RunClient(test.platform, [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(test.windows.foregroundRequests.empty());

  // A lock that cannot be made at all: carry on as the first instance.
  test.instance.answer = InstanceLock::kFailed;
  ran = false;
  RunClient(test.platform, [&] { ran = true; });
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace zeva
