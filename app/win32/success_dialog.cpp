#include "app/win32/success_dialog.h"

#include "app/resources/resource.h"
#include "app/win32/window_placement.h"

namespace r7700 {

void ShowSuccessDialog(HINSTANCE instance, HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SUCCESS), owner, SuccessDialogProc, 0);
}

INT_PTR CALLBACK SuccessDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterWindowOnParent(dialog, GetWindow(dialog, GW_OWNER));
      MessageBeep(0);
      // The procedure answers FALSE to every message, which leaves the
      // focus to it: put it on OK so that Enter closes the box.
      SetFocus(GetDlgItem(dialog, IDC_SUCCESS_OK));
      break;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_SUCCESS_OK) EndDialog(dialog, -1);
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace r7700
