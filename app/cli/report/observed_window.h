// A window surface that shows everything on the window it wraps and reports
// what a run shows as events: each status log line once it is complete,
// progress phases and counters, boxes and the answers to questions.
#pragma once

#include <string>

#include "app/cli/report/run_events.h"
#include "link/window_surface.h"

namespace r7700::cli {

class ObservedWindow : public WindowSurface {
 public:
  ObservedWindow(WindowSurface& inner, RunEvents& events) : inner_(inner), events_(events) {}

  void SetText(int id, std::string_view text) override;
  std::string GetText(int id) override { return inner_.GetText(id); }
  void AppendText(int id, std::string_view text) override;
  void SetCaretToStart(int id) override { inner_.SetCaretToStart(id); }
  void Focus(int id) override { inner_.Focus(id); }
  bool IsChecked(int id) override { return inner_.IsChecked(id); }
  void SetChecked(int id, bool checked) override { inner_.SetChecked(id, checked); }
  void Enable(int id, bool enabled) override { inner_.Enable(id, enabled); }
  bool IsEnabled(int id) override { return inner_.IsEnabled(id); }
  void ListAdd(int id, std::string_view item) override { inner_.ListAdd(id, item); }
  void ListClear(int id) override { inner_.ListClear(id); }
  void ListSelect(int id, int pos) override { inner_.ListSelect(id, pos); }
  int ListSelection(int id) override { return inner_.ListSelection(id); }
  int ListCount(int id) override { return inner_.ListCount(id); }
  std::string ListItem(int id, int pos) override { return inner_.ListItem(id, pos); }
  void ProgressSetRange(int low, int high) override { inner_.ProgressSetRange(low, high); }
  void ProgressSetStep(int step) override { inner_.ProgressSetStep(step); }
  void ProgressSetPos(int pos) override { inner_.ProgressSetPos(pos); }
  void ProgressStepIt() override { inner_.ProgressStepIt(); }
  std::string StringResource(int entry, size_t buffer_bytes) override {
    return inner_.StringResource(entry, buffer_bytes);
  }
  BoxAnswer ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                    BoxButtons buttons) override;
  void ShowSuccess() override;
  void Repaint() override { inner_.Repaint(); }

  // Reports a log line still waiting for its end (a run may end on one).
  void FlushLogLine();

 private:
  WindowSurface& inner_;
  RunEvents& events_;
  std::string stage_;
  std::string pending_line_;  // log text after the last line end
  int shown_percent_ = -1;    // of the current phase; -1 before its first count
};

}  // namespace r7700::cli
