#include "app/win32/window_placement.h"

#include <commctrl.h>

#include "app/resources/resource.h"
#include "app/win32/window_geometry.h"

namespace r7700 {
namespace {

ScreenRect ToScreenRect(const RECT& rect) {
  return {static_cast<int32_t>(rect.left), static_cast<int32_t>(rect.top),
          static_cast<int32_t>(rect.right), static_cast<int32_t>(rect.bottom)};
}

ScreenRect WindowRectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return ToScreenRect(rect);
}

// The display size as the window's device context reports it.
void DisplayResolution(HWND window, int32_t& width, int32_t& height) {
  HDC dc = GetDC(window);
  width = GetDeviceCaps(dc, HORZRES);
  height = GetDeviceCaps(dc, VERTRES);
  ReleaseDC(window, dc);
}

void MoveKeepingSize(HWND window, ScreenPoint to) {
  SetWindowPos(window, nullptr, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

}  // namespace

void CollapseOptionsPanel(HWND window, RECT& saved) {
  GetWindowRect(window, &saved);
  const ScreenRect group = WindowRectOf(GetDlgItem(window, IDC_OPTIONS_GROUP));
  const int32_t width =
      CollapsedWidth(static_cast<int32_t>(saved.left), group.left, GetSystemMetrics(SM_CXDLGFRAME));
  MoveWindow(window, saved.left, saved.top, width, saved.bottom - saved.top, TRUE);
}

void RestoreWindowRect(HWND window, const RECT& saved) {
  MoveWindow(window, saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top,
             TRUE);
  UpdateWindow(window);
}

void CenterWindowOnScreen(HWND window) {
  const ScreenRect rect = WindowRectOf(window);
  int32_t resolution_x = 0;
  int32_t resolution_y = 0;
  DisplayResolution(window, resolution_x, resolution_y);
  MoveKeepingSize(window,
                  CenteredOnScreen(rect.Width(), rect.Height(), GetSystemMetrics(SM_CXSCREEN),
                                   GetSystemMetrics(SM_CYSCREEN), resolution_x, resolution_y));
}

void CenterWindowOnParent(HWND window, HWND parent) {
  const ScreenRect rect = WindowRectOf(window);
  int32_t resolution_x = 0;
  int32_t resolution_y = 0;
  DisplayResolution(window, resolution_x, resolution_y);
  MoveKeepingSize(window, CenteredOnParent(WindowRectOf(parent), rect.Width(), rect.Height(),
                                           resolution_x, resolution_y));
}

HWND CreateProgressBar(HWND window, int range) {
  HWND placeholder = GetDlgItem(window, IDC_PROGRESS_PLACEHOLDER);
  EnableWindow(placeholder, FALSE);
  InitCommonControls();
  RECT client{};
  GetClientRect(placeholder, &client);
  const ScreenPoint origin = ProgressBarOrigin(
      WindowRectOf(placeholder), WindowRectOf(window), GetSystemMetrics(SM_CXDLGFRAME),
      GetSystemMetrics(SM_CYDLGFRAME), GetSystemMetrics(SM_CYMENU));
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, origin.x, origin.y,
                             client.right, client.bottom, window, nullptr,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)),
                             nullptr);
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, range));
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
  InvalidateRect(bar, nullptr, TRUE);
  UpdateWindow(bar);
  return bar;
}

}  // namespace r7700
