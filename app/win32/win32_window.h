// The window surface on the real main dialog. Every operation is a message
// sent to the control (or a call that sends one), so the worker thread's
// writes are carried out by the window's thread in the order they are made,
// and a worker waits until each has been done.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "link/window_surface.h"

namespace r7700 {

class Win32Window : public WindowSurface {
 public:
  Win32Window(HINSTANCE instance, HWND dialog) : instance_(instance), dialog_(dialog) {}

  void set_progress_bar(HWND progress_bar) { progress_bar_ = progress_bar; }
  HWND dialog() const { return dialog_; }

  void SetText(int id, std::string_view text) override;
  std::string GetText(int id) override;
  void AppendText(int id, std::string_view text) override;
  void SetCaretToStart(int id) override;
  void Focus(int id) override;
  bool IsChecked(int id) override;
  void SetChecked(int id, bool checked) override;
  void Enable(int id, bool enabled) override;
  bool IsEnabled(int id) override;
  void ListAdd(int id, std::string_view item) override;
  void ListClear(int id) override;
  void ListSelect(int id, int pos) override;
  int ListSelection(int id) override;
  int ListCount(int id) override;
  std::string ListItem(int id, int pos) override;
  void ProgressSetRange(int low, int high) override;
  void ProgressSetStep(int step) override;
  void ProgressSetPos(int pos) override;
  void ProgressStepIt() override;
  std::string StringResource(int entry, size_t buffer_bytes) override;
  BoxAnswer ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                    BoxButtons buttons) override;
  void ShowSuccess() override;
  void Repaint() override;

 private:
  LRESULT Send(int id, UINT message, WPARAM wparam, LPARAM lparam) const {
    return SendDlgItemMessageA(dialog_, id, message, wparam, lparam);
  }

  HINSTANCE instance_;
  HWND dialog_;
  HWND progress_bar_ = nullptr;
};

// Redraws the window and all its controls at once.
void RepaintNow(HWND window);

}  // namespace r7700
