// The run as the main window shows it: every event becomes the control
// writes of the dialog (status log text with CR LF, the progress caption,
// the counter text "%ld = %d%%" and the bar's steps, message boxes, the
// SUCCESS box).
#pragma once

#include "link/run_observer.h"

namespace r7700 {

class DialogObserver : public RunObserver {
 public:
  explicit DialogObserver(WindowSurface& window) : window_(window) {}

  void LogText(std::string_view text) override;
  void LogCleared(bool take_focus) override;
  void StageBegun(RunStage stage, std::string_view caption) override;
  void Progress(int64_t done, int64_t total, ProgressUnit unit) override;
  bool Ask(std::string_view text, std::string_view caption, BoxIcon icon) override;
  void Problem(std::string_view text, std::string_view caption, BoxIcon icon) override;
  std::string MessageText(int entry, size_t buffer_bytes) override;
  void Finished(RunEnd end) override;

 private:
  WindowSurface& window_;
  int64_t shown_percent_ = 0;  // whole percent the bar has reached in this phase
};

}  // namespace r7700
