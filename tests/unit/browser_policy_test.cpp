// What both browsers do about failed navigations, new windows and a page's message boxes.
#include "host/browser_policy.h"

#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "support/temp_folder.h"
#include "support/test_platform.h"

namespace zeva {
namespace {

TEST(BrowserPolicyTest, OnlyPagesThatCouldNotBeFetchedGetTheClientsPage) {
  const std::pair<NavigationFailure, bool> cases[] = {
      {NavigationFailure::kCannotConnect, true}, {NavigationFailure::kBadAddress, true},
      {NavigationFailure::kCertificate, true},   {NavigationFailure::kUnknown, true},
      {NavigationFailure::kHttpStatus, false},   {NavigationFailure::kCancelled, false},
      {NavigationFailure::kOtherProgram, false}, {NavigationFailure::kNotShown, false},
  };
  for (const auto& [failure, shown] : cases) {
    EXPECT_EQ(ShowsErrorPage(failure), shown) << static_cast<int>(failure);
  }
}

TEST(BrowserPolicyTest, NewWindowsGoToTheDesktopsBrowserForWebAddressesOnly) {
  test::TempFolder folder;
  test::TestPlatform test(folder.Path());
  EXPECT_TRUE(OpenNewWindow(test.shell, u"https://forum.example/thread-1.html"));
  EXPECT_TRUE(OpenNewWindow(test.shell, u"HTTP://forum.example/"));
  for (const char16_t* refused :
       {u"file:///C:/Windows/system32/calc.exe", u"javascript:alert(1)", u"mailto:a@b.c", u"",
        u"\\\\server\\share\\run.exe", u"ms-settings:"}) {
    EXPECT_FALSE(OpenNewWindow(test.shell, refused)) << std::u16string(refused).size();
  }
  ASSERT_EQ(test.shell.calls.size(), 2u);
  EXPECT_EQ(test.shell.calls[0].verb, u"open");
  EXPECT_EQ(test.shell.calls[0].file, u"https://forum.example/thread-1.html");
}

TEST(BrowserPolicyTest, PageBoxesLookAsTheInternetExplorerControlShowsThem) {
  // WebKit passes nothing: what the Internet Explorer control would pass.
  PageBox alert = PageMessageBox(PageDialogKind::kAlert);
  EXPECT_EQ(alert.caption, u"来自网页的消息");
  EXPECT_EQ(alert.style, kMbOk | kMbIconExclamation);
  PageBox confirm = PageMessageBox(PageDialogKind::kConfirm);
  EXPECT_EQ(confirm.caption, u"来自网页的消息");
  EXPECT_EQ(confirm.style, kMbOkCancel | kMbIconQuestion);
  // The control's own caption and type are shown as it passed them, an empty type included.
  PageBox passed = PageMessageBox(PageDialogKind::kAlert, u"Message from webpage", 0x24);
  EXPECT_EQ(passed.caption, u"Message from webpage");
  EXPECT_EQ(passed.style, 0x24u);
  EXPECT_EQ(PageMessageBox(PageDialogKind::kConfirm, u"", 0u).style, 0u);
  EXPECT_EQ(PageMessageBox(PageDialogKind::kConfirm, u"", 0u).caption, u"来自网页的消息");
}

}  // namespace
}  // namespace zeva
