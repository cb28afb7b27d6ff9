#include "app/win32/window_geometry.h"

namespace r7700 {

int32_t ClampToDisplay(int32_t pos, int32_t size, int32_t resolution) {
  // The far edge is settled first so that a window larger than the display
  // always ends up at 0: checking the near edge first would put one that is
  // a pixel wider than the screen (centred at 0 by the truncating half) at -1.
  if (pos + size > resolution) pos = resolution - size;
  if (pos < 0) pos = 0;
  return pos;
}

ScreenPoint CenteredOnScreen(int32_t width, int32_t height, int32_t screen_width,
                             int32_t screen_height, int32_t resolution_x, int32_t resolution_y) {
  // Integer division truncates toward zero, as the halves must.
  const int32_t x = (screen_width - width) / 2;
  const int32_t y = (screen_height - height) / 2;
  return {ClampToDisplay(x, width, resolution_x), ClampToDisplay(y, height, resolution_y)};
}

ScreenPoint CenteredOnParent(const ScreenRect& parent, int32_t width, int32_t height,
                             int32_t resolution_x, int32_t resolution_y) {
  const int32_t x = parent.left + (parent.Width() - width) / 2;
  const int32_t y = parent.top + (parent.Height() - height) / 2;
  return {ClampToDisplay(x, width, resolution_x), ClampToDisplay(y, height, resolution_y)};
}

int32_t CollapsedWidth(int32_t window_left, int32_t group_left, int32_t dialog_frame_x) {
  return group_left - dialog_frame_x - window_left;
}

ScreenPoint ProgressBarOrigin(const ScreenRect& placeholder, const ScreenRect& dialog,
                              int32_t dialog_frame_x, int32_t dialog_frame_y, int32_t menu_height) {
  return {placeholder.left - dialog.left - dialog_frame_x + 1,
          placeholder.top - dialog.top - dialog_frame_y - menu_height + 1};
}

}  // namespace r7700
