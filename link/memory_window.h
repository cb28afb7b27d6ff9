// A window surface kept in memory: the controls of the main window as plain
// data. The command-line program builds on it, and tests read back exactly
// what a user would have seen. A run reported to it writes its controls as
// it would write the dialog's.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "link/dialog_observer.h"
#include "link/window_surface.h"

namespace r7700 {

struct ShownBox {
  std::string text;
  std::string caption;
  BoxIcon icon;
  BoxButtons buttons;
};

class MemoryWindow : public WindowSurface, public RunObserver {
 public:
  MemoryWindow() = default;
  MemoryWindow(const MemoryWindow&) = delete;
  MemoryWindow& operator=(const MemoryWindow&) = delete;

  struct Control {
    std::string text;
    bool checked = false;
    bool enabled = true;
    std::vector<std::string> items;
    int selection = -1;
  };

  // Decides the answer to a question box; without one every question is
  // answered Yes. OK boxes are answered OK without asking.
  using Answerer = std::function<BoxAnswer(const ShownBox&)>;
  void set_answerer(Answerer answerer) { answerer_ = std::move(answerer); }

  void SetText(int id, std::string_view text) override;
  std::string GetText(int id) override;
  void AppendText(int id, std::string_view text) override;
  void SetCaretToStart(int id) override;
  void Focus(int id) override { focus_ = id; }
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
  // The plain table of error_report.h: there are no string-table resources.
  std::string StringResource(int entry, size_t buffer_bytes) override;
  BoxAnswer ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                    BoxButtons buttons) override;
  void ShowSuccess() override { ++success_boxes_; }

  // The run's events as the dialog shows them.
  void LogText(std::string_view text) override { dialog_.LogText(text); }
  void LogCleared(bool take_focus) override { dialog_.LogCleared(take_focus); }
  void StageBegun(RunStage stage, std::string_view caption) override {
    dialog_.StageBegun(stage, caption);
  }
  void Progress(int64_t done, int64_t total, ProgressUnit unit) override {
    dialog_.Progress(done, total, unit);
  }
  bool Ask(std::string_view text, std::string_view caption, BoxIcon icon) override {
    return dialog_.Ask(text, caption, icon);
  }
  void Problem(std::string_view text, std::string_view caption, BoxIcon icon) override {
    dialog_.Problem(text, caption, icon);
  }
  std::string MessageText(int entry, size_t buffer_bytes) override {
    return dialog_.MessageText(entry, buffer_bytes);
  }
  void Finished(RunEnd end) override { dialog_.Finished(end); }
  void Repaint() override {}

  Control& control(int id) { return controls_[id]; }
  const std::vector<ShownBox>& boxes() const { return boxes_; }
  int success_boxes() const { return success_boxes_; }
  // The control that has the focus; 0 before any has been given it.
  int focus() const { return focus_; }
  int progress_pos() const { return progress_pos_; }
  int progress_high() const { return progress_high_; }
  int progress_steps() const { return progress_steps_; }

 protected:
  std::map<int, Control> controls_;

 private:
  DialogObserver dialog_{*this};
  Answerer answerer_;
  std::vector<ShownBox> boxes_;
  int success_boxes_ = 0;
  int focus_ = 0;
  int progress_low_ = 0;
  int progress_high_ = 100;
  int progress_step_ = 10;
  int progress_pos_ = 0;
  int progress_steps_ = 0;
};

}  // namespace r7700
