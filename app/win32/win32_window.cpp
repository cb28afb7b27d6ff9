#include "app/win32/win32_window.h"

#include <commctrl.h>

#include <vector>

#include "app/win32/success_dialog.h"

namespace r7700 {

void RepaintNow(HWND window) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Win32Window::SetText(int id, std::string_view text) {
  SetDlgItemTextA(dialog_, id, std::string(text).c_str());
}

std::string Win32Window::GetText(int id) {
  const LRESULT length = Send(id, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT copied = Send(id, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

void Win32Window::AppendText(int id, std::string_view text) {
  Focus(id);
  // The whole length, not a 16-bit one: a longer log must still grow at its end.
  const LRESULT end = Send(id, WM_GETTEXTLENGTH, 0, 0);
  Send(id, EM_SETSEL, static_cast<WPARAM>(end), end);
  const std::string copy(text);
  Send(id, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(copy.c_str()));
}

void Win32Window::SetCaretToStart(int id) {
  Send(id, EM_SETSEL, 0, 0);
}

// Through the dialog (WM_NEXTDLGCTL) because SetFocus only acts on windows
// of the calling thread, and the worker calls this too.
void Win32Window::Focus(int id) {
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog_, id)), TRUE);
}

bool Win32Window::IsChecked(int id) {
  return Send(id, BM_GETCHECK, 0, 0) != BST_UNCHECKED;
}

void Win32Window::SetChecked(int id, bool checked) {
  Send(id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Window::Enable(int id, bool enabled) {
  EnableWindow(GetDlgItem(dialog_, id), enabled);
}

bool Win32Window::IsEnabled(int id) {
  return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE;
}

void Win32Window::ListAdd(int id, std::string_view item) {
  const std::string copy(item);
  Send(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

void Win32Window::ListClear(int id) {
  Send(id, CB_RESETCONTENT, 0, 0);
}

void Win32Window::ListSelect(int id, int pos) {
  Send(id, CB_SETCURSEL, pos, 0);
}

int Win32Window::ListSelection(int id) {
  const LRESULT pos = Send(id, CB_GETCURSEL, 0, 0);
  return pos == CB_ERR ? -1 : static_cast<int>(pos);
}

int Win32Window::ListCount(int id) {
  const LRESULT count = Send(id, CB_GETCOUNT, 0, 0);
  return count == CB_ERR ? 0 : static_cast<int>(count);
}

std::string Win32Window::ListItem(int id, int pos) {
  const LRESULT length = Send(id, CB_GETLBTEXTLEN, pos, 0);
  if (length == CB_ERR || length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT copied = Send(id, CB_GETLBTEXT, pos, reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

void Win32Window::ProgressSetRange(int low, int high) {
  SendMessageA(progress_bar_, PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void Win32Window::ProgressSetStep(int step) {
  SendMessageA(progress_bar_, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

void Win32Window::ProgressSetPos(int pos) {
  SendMessageA(progress_bar_, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

void Win32Window::ProgressStepIt() {
  SendMessageA(progress_bar_, PBM_STEPIT, 0, 0);
}

std::string Win32Window::StringResource(int entry, size_t buffer_bytes) {
  if (buffer_bytes == 0) return {};
  std::vector<char> buffer(buffer_bytes, '\0');
  const int length = LoadStringA(instance_, static_cast<UINT>(entry), buffer.data(),
                                 static_cast<int>(buffer.size()));
  return std::string(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0);
}

BoxAnswer Win32Window::ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                               BoxButtons buttons) {
  UINT style = buttons == BoxButtons::kYesNo ? MB_YESNO : MB_OK;
  switch (icon) {
    case BoxIcon::kError:
      style |= MB_ICONERROR;
      break;
    case BoxIcon::kWarning:
      style |= MB_ICONEXCLAMATION;
      break;
    case BoxIcon::kQuestion:
      style |= MB_ICONQUESTION;
      break;
    case BoxIcon::kInformation:
      style |= MB_ICONINFORMATION;
      break;
  }
  const int answer =
      MessageBoxA(dialog_, std::string(text).c_str(), std::string(caption).c_str(), style);
  if (answer == IDYES) return BoxAnswer::kYes;
  if (answer == IDNO) return BoxAnswer::kNo;
  return BoxAnswer::kOk;
}

void Win32Window::ShowSuccess() {
  ShowSuccessDialog(instance_, dialog_);
}

void Win32Window::Repaint() {
  RepaintNow(dialog_);
}

}  // namespace r7700
