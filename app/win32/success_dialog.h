// Dialog 108, the SUCCESS box that ends a good run.
#pragma once

#include <windows.h>

namespace r7700 {

// Shows dialog 108 modally, owned by owner; returns when OK (or Enter) has
// closed it. Called on the worker thread.
void ShowSuccessDialog(HINSTANCE instance, HWND owner);

// Centres the box on its owner and beeps; only command 1 (OK, Enter) ends
// it, so Escape and the Close command do nothing.
INT_PTR CALLBACK SuccessDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace r7700
