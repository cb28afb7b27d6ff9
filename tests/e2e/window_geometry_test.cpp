#include "app/win32/window_geometry.h"

#include <gtest/gtest.h>

namespace r7700 {
namespace {

TEST(CenteredOnScreen, HalvesTheFreeSpaceTowardZero) {
  const ScreenPoint p = CenteredOnScreen(733, 421, 1024, 768, 1024, 768);
  EXPECT_EQ(p.x, 145);  // 291 / 2
  EXPECT_EQ(p.y, 173);  // 347 / 2
}

TEST(CenteredOnScreen, ClampsAgainstTheDisplayResolution) {
  // Wider and taller than the display: placed at 0, not off the left or top.
  ScreenPoint p = CenteredOnScreen(1100, 900, 1024, 768, 1024, 768);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
  // One pixel too wide: the truncating half gives 0, and the window still
  // starts at 0 rather than at -1.
  p = CenteredOnScreen(1025, 769, 1024, 768, 1024, 768);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
  // Screen metrics larger than the device's resolution: a window crossing
  // the right or bottom edge is moved back to end at it.
  p = CenteredOnScreen(600, 400, 1600, 1200, 1024, 768);
  EXPECT_EQ(p.x, 1024 - 600);
  EXPECT_EQ(p.y, 768 - 400);
}

TEST(CenteredOnParent, CentresOnTheParentAndClamps) {
  const ScreenRect parent{100, 50, 833, 471};
  ScreenPoint p = CenteredOnParent(parent, 306, 168, 1024, 768);
  EXPECT_EQ(p.x, 100 + (733 - 306) / 2);
  EXPECT_EQ(p.y, 50 + (421 - 168) / 2);

  // Parent near the bottom right corner: the box ends at the display edge.
  p = CenteredOnParent({900, 700, 1200, 900}, 306, 168, 1024, 768);
  EXPECT_EQ(p.x, 1024 - 306);
  EXPECT_EQ(p.y, 768 - 168);

  // Parent partly off the top left: the box starts at 0.
  p = CenteredOnParent({-400, -300, 0, 0}, 306, 168, 1024, 768);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);

  // Odd negative differences truncate toward zero: -5 / 2 is -2.
  p = CenteredOnParent({200, 200, 301, 301}, 106, 106, 1024, 768);
  EXPECT_EQ(p.x, 198);
  EXPECT_EQ(p.y, 198);
}

TEST(ClampToDisplay, KeepsWindowsThatFit) {
  EXPECT_EQ(ClampToDisplay(10, 100, 1024), 10);
  EXPECT_EQ(ClampToDisplay(924, 100, 1024), 924);
  EXPECT_EQ(ClampToDisplay(925, 100, 1024), 924);
  EXPECT_EQ(ClampToDisplay(-1, 100, 1024), 0);
  EXPECT_EQ(ClampToDisplay(0, 1024, 1024), 0);
}

TEST(CollapsedWidth, EndsOneDialogFrameLeftOfTheGroup) {
  // Window at x 145, options group's left edge at 676 on screen, frame 3.
  EXPECT_EQ(CollapsedWidth(145, 676, 3), 528);
}

TEST(ProgressBarOrigin, SubtractsFrameAndMenuHeightAndAddsOne) {
  const ScreenRect placeholder{160, 480, 445, 496};
  const ScreenRect dialog{145, 173, 878, 594};
  const ScreenPoint p = ProgressBarOrigin(placeholder, dialog, 3, 3, 19);
  EXPECT_EQ(p.x, 160 - 145 - 3 + 1);
  EXPECT_EQ(p.y, 480 - 173 - 3 - 19 + 1);
}

}  // namespace
}  // namespace r7700
