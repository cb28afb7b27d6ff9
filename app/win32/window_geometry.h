// The arithmetic of the window placement: centring with the clamping to the
// display, the narrowed width and the progress bar's origin. Pure integer
// arithmetic on 32-bit signed screen pixels, so it is unit-tested natively;
// window_placement.cpp feeds it the measures of the real windows.
#pragma once

#include <cstdint>

namespace r7700 {

struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
};

struct ScreenPoint {
  int32_t x = 0;
  int32_t y = 0;
};

// A window of the given size at pos along one axis, kept on a display of the
// given resolution: a start before 0 becomes 0, otherwise a window crossing
// the far edge is moved back to end at it. A window larger than the display
// therefore starts at 0.
int32_t ClampToDisplay(int32_t pos, int32_t size, int32_t resolution);

// Where a window of size width x height goes when centred on a screen of
// screen_width x screen_height, clamped to a display of resolution_x x
// resolution_y (the two may differ: the screen metrics and the device
// context's resolution are read separately).
ScreenPoint CenteredOnScreen(int32_t width, int32_t height, int32_t screen_width,
                             int32_t screen_height, int32_t resolution_x, int32_t resolution_y);

// Where a window of size width x height goes when centred on parent, clamped
// the same way.
ScreenPoint CenteredOnParent(const ScreenRect& parent, int32_t width, int32_t height,
                             int32_t resolution_x, int32_t resolution_y);

// The width of the narrowed main window: it ends just left of the options
// group, one dialog frame short of the group's left edge.
int32_t CollapsedWidth(int32_t window_left, int32_t group_left, int32_t dialog_frame_x);

// The progress bar's position in the dialog's client coordinates, laid over
// the placeholder: measured from the dialog's window rectangle less the
// frame and the menu bar height (not the caption height), plus one pixel.
ScreenPoint ProgressBarOrigin(const ScreenRect& placeholder, const ScreenRect& dialog,
                              int32_t dialog_frame_x, int32_t dialog_frame_y, int32_t menu_height);

}  // namespace r7700
