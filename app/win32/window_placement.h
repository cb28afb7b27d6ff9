// Placing the windows of the program: narrowing and restoring the main
// window, centring on the screen or on a parent, and laying the progress bar
// over its placeholder. The arithmetic lives in window_geometry.h.
#pragma once

#include <windows.h>

namespace r7700 {

// Stores the window rectangle in saved and narrows the window so that it ends
// just left of the "Download Options" group.
void CollapseOptionsPanel(HWND window, RECT& saved);
// Moves and sizes the window to saved and repaints it at once.
void RestoreWindowRect(HWND window, const RECT& saved);

// Move a window without resizing it; the result is kept on the display.
void CenterWindowOnScreen(HWND window);
void CenterWindowOnParent(HWND window, HWND parent);

// Creates the progress bar over placeholder 1007 (which is disabled) with
// the range 0..range and step 1; returns its handle.
HWND CreateProgressBar(HWND window, int range);

}  // namespace r7700
