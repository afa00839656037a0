// The about and update-log windows on the test port: their faces, texts and the update-log
// window's own browser.
#include <gtest/gtest.h>

#include "app/about_dialog.h"
#include "app/update_log_dialog.h"
#include "res/resource_ids.h"
#include "support/fake_dialog_factory.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

using Rect = test::FakeWindowView::Rect;

// Opens the window, keeps what it showed, then presses `button`.
test::FakeWindowView RunAndPress(CDialogBase& window, test::FakeDialogFactory& factory, int button,
                                 int& result) {
  test::FakeWindowView seen;
  factory.whileModal[window.TemplateId()] = [&](test::FakeDialog& dialog) {
    seen = dialog.view;
    dialog.events->OnCommand(button);
  };
  result = window.DoModal(0x700);
  return seen;
}

TEST(AboutWindowTest, FaceTextAndButtons) {
  test::FakeDialogFactory factory;
  for (int button : {int{kIdOk}, res::kDialogCloseButton}) {  // opened twice: the same text
    CDialogAbout about(factory);
    int result = 0;
    const test::FakeWindowView view = RunAndPress(about, factory, button, result);
    EXPECT_EQ(result, button == kIdOk ? kIdOk : kIdCancel);
    EXPECT_EQ(view.bounds, (Rect{225, 225, 350, 150}));  // centred over the 800 x 600 owner
    EXPECT_EQ(view.background, 154);
    EXPECT_EQ(view.texts.at(res::kTitleLabel), u"关于我们");
    EXPECT_EQ(view.texts.at(res::kAboutText), std::u16string(endpoints::kGameSite) +
                                                  u"\r\n主程序 CF泽瓦助手   V3.0.6\r\n" +
                                                  endpoints::kRightsNotice);
    EXPECT_EQ(view.styles.at(res::kAboutText).colour, 0x0E4E81u);
    EXPECT_TRUE(view.styles.at(res::kAboutText).transparent);
    EXPECT_EQ(view.buttonImages.at(kIdOk), 148);
    EXPECT_EQ(view.controls.at(kIdOk), (Rect{145, 115, 61, 21}));
    EXPECT_EQ(view.controls.at(res::kDialogCloseButton), (Rect{323, 8, 15, 15}));
  }
  EXPECT_EQ(factory.dialogs.at(0)->owner, 0x700u);
}

TEST(UpdateLogWindowTest, ItsOwnBrowserShowsTheUpdateList) {
  test::FakeDialogFactory factory;
  CDialogVer updateLog(factory, u"http://tools.example:8088");
  int result = 0;
  const test::FakeWindowView view =
      RunAndPress(updateLog, factory, res::kDialogCloseButton, result);
  EXPECT_EQ(result, kIdCancel);
  EXPECT_EQ(view.bounds, (Rect{207, 170, 385, 260}));
  EXPECT_EQ(view.background, 152);
  EXPECT_EQ(view.texts.at(res::kTitleLabel), u"更新日志");
  EXPECT_EQ(view.browser, (Rect{2, 30, 381, 227}));
  EXPECT_TRUE(view.browserSite.scrollBars);
  EXPECT_EQ(view.browserSite.external, nullptr);
  EXPECT_EQ(view.navigations,
            std::vector<std::u16string>{u"http://tools.example:8088/manager/update/"
                                        u"ToolWeb_Update_List.aspx?ToolId=1"});
  EXPECT_EQ(view.controls.at(res::kDialogCloseButton), (Rect{358, 8, 15, 15}));
}

}  // namespace
}  // namespace zeva
