// The window surface seam: everything the core does to the main window goes
// through this interface, keyed by the control ids of link/control_ids.h.
// The Windows program implements it with messages sent to the real dialog;
// the command-line program and the tests keep the controls in memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace r7700 {

enum class BoxIcon { kError, kWarning, kQuestion, kInformation };
enum class BoxButtons { kOk, kYesNo };
enum class BoxAnswer { kOk, kYes, kNo };

class WindowSurface {
 public:
  virtual ~WindowSurface() = default;

  virtual void SetText(int id, std::string_view text) = 0;
  virtual std::string GetText(int id) = 0;
  // Puts the caret at the end of the edit control's text and replaces the
  // (empty) selection there with text, without undo.
  virtual void AppendText(int id, std::string_view text) = 0;
  // Moves the edit control's caret to the start of its text.
  virtual void SetCaretToStart(int id) = 0;
  // Gives the control the keyboard focus.
  virtual void Focus(int id) = 0;

  // Anything but unchecked counts as ticked.
  virtual bool IsChecked(int id) = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  virtual void Enable(int id, bool enabled) = 0;
  virtual bool IsEnabled(int id) = 0;

  virtual void ListAdd(int id, std::string_view item) = 0;
  virtual void ListClear(int id) = 0;
  // pos -1 clears the selection.
  virtual void ListSelect(int id, int pos) = 0;
  // -1 when nothing is selected.
  virtual int ListSelection(int id) = 0;
  virtual int ListCount(int id) = 0;
  // Empty text for a position outside the list.
  virtual std::string ListItem(int id, int pos) = 0;

  virtual void ProgressSetRange(int low, int high) = 0;
  virtual void ProgressSetStep(int step) = 0;
  virtual void ProgressSetPos(int pos) = 0;
  virtual void ProgressStepIt() = 0;

  // Entry of the program's string table, cut to buffer_bytes - 1
  // characters; empty when there is no such entry.
  virtual std::string StringResource(int entry, size_t buffer_bytes) = 0;

  // A modal box owned by the main window; returns the button pressed.
  virtual BoxAnswer ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                            BoxButtons buttons) = 0;
  // The modal SUCCESS box; returns when the user pressed OK.
  virtual void ShowSuccess() = 0;
  virtual void Repaint() = 0;
};

}  // namespace r7700
