// Where a secondary window opens: over its owner while the player can see the owner, else in
// the middle of the work area, and never past the work area's edges.
#include "ui/window_placement.h"

#include <gtest/gtest.h>

#include "app/about_dialog.h"
#include "res/resource_ids.h"
#include "support/fake_dialog_factory.h"

namespace zeva {
namespace {

TEST(WindowPlacementTest, CenteredOverTheOwnerOrTheWorkArea) {
  const ScreenRect work{0, 0, 1024, 740};  // a task bar below
  struct Case {
    const char* what;
    std::optional<ScreenRect> owner;
    ScreenRect own, area, expected;
  };
  const Case cases[] = {
      {"over the owner", ScreenRect{0, 0, 800, 600}, {0, 0, 350, 150}, work, {225, 225, 350, 150}},
      {"owner elsewhere",
       ScreenRect{100, 50, 800, 600},
       {0, 0, 385, 260},
       work,
       {307, 220, 385, 260}},
      {"hidden or minimised owner", std::nullopt, {0, 0, 350, 150}, work, {337, 295, 350, 150}},
      {"owner dragged half off the right edge",
       ScreenRect{700, 0, 800, 600},
       {0, 0, 440, 355},
       work,
       {584, 122, 440, 355}},
      {"owner above the top edge",
       ScreenRect{0, -500, 800, 600},
       {0, 0, 350, 150},
       work,
       {225, 0, 350, 150}},
      {"larger than the work area", std::nullopt, {0, 0, 1200, 800}, work, {0, 0, 1200, 800}},
      {"second screen's work area",
       std::nullopt,
       {0, 0, 200, 100},
       {1024, 0, 1024, 840},
       {1436, 370, 200, 100}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CenteredPlace(c.own, c.owner, c.area), c.expected) << c.what;
  }
}

// Opened from the tray while the main window is hidden or minimised, the about window shows
// in the middle of the screen, not over where the main window would be.
TEST(WindowPlacementTest, AnAboutWindowOverAHiddenOwnerOpensMidScreen) {
  test::FakeDialogFactory factory;
  std::optional<ScreenRect> seen;
  factory.whileModal[res::kAboutDialog] = [&](test::FakeDialog& dialog) {
    seen = dialog.view.Bounds();
    dialog.events->OnCommand(kIdOk);
  };
  factory.onCreate = [](test::FakeDialog& dialog) {
    dialog.view.owner = std::nullopt;
    dialog.view.workArea = {0, 0, 1280, 1000};
  };
  CDialogAbout about(factory);
  about.DoModal(0x700);
  ASSERT_TRUE(seen);
  EXPECT_EQ(*seen, (ScreenRect{465, 425, 350, 150}));
}

}  // namespace
}  // namespace zeva
