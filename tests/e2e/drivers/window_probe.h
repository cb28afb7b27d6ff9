// What the end-to-end driver does to the program under test, from another
// process: find its windows, read and operate its controls, answer its
// boxes and photograph the screen. Every wait is bounded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace r7700 {

// A top-level dialog (class "#32770") with exactly this caption, waiting up
// to timeout_ms; nullptr when none appeared.
HWND WaitForDialog(const char* caption, DWORD timeout_ms);
// A top-level dialog of the process of other whose caption is one of the
// given ones, other than other itself; nullptr when there is none now.
HWND FindBoxOf(HWND other, const std::vector<std::string>& captions);

std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);
// The texts of a box's static controls, joined by "|".
std::string BoxText(HWND box);
std::vector<std::string> ComboItems(HWND dialog, int id);
std::string ComboSelection(HWND dialog, int id);
bool ControlEnabled(HWND dialog, int id);
bool ControlChecked(HWND dialog, int id);
// The window of the dialog's thread that has the keyboard focus.
HWND FocusOf(HWND dialog);

// Presses a button the way a click does: its command reaches the dialog.
void PressButton(HWND dialog, int id);
// Selects a position of a list the way the user does, with the
// CBN_SELENDOK notification the dialog acts on.
void ChooseListItem(HWND dialog, int id, int pos);

// Saves the screen area of rect as a 24-bit BMP file.
bool SaveScreenArea(const RECT& rect, const std::string& path);

}  // namespace r7700
