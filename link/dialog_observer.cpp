#include "link/dialog_observer.h"

#include "link/control_ids.h"
#include "link/status_log.h"
#include "link/text_format.h"

namespace r7700 {

void DialogObserver::LogText(std::string_view text) {
  window_.AppendText(IDC_STATUS_LOG, WidenLineEnds(text));
}

void DialogObserver::LogCleared(bool take_focus) {
  if (take_focus) window_.Focus(IDC_STATUS_LOG);
  window_.SetText(IDC_STATUS_LOG, "");
}

void DialogObserver::StageBegun(RunStage, std::string_view caption) {
  window_.SetText(IDC_PROGRESS_CAPTION, caption);
}

// A phase starts with the bar at 0 of 100 in steps of 1, the counter text
// left as it was; every count then shows "%ld = %d%%" and steps the bar
// once per new whole percent.
void DialogObserver::Progress(int64_t done, int64_t total, ProgressUnit) {
  if (done == 0) {
    shown_percent_ = 0;
    window_.ProgressSetRange(0, 100);
    window_.ProgressSetStep(1);
    window_.ProgressSetPos(0);
    return;
  }
  // 64-bit arithmetic: the same whole percent as the 32-bit rule wherever
  // that one is defined, and no overflow for counters above 21474836.
  const int64_t percent = done * 100 / total;
  window_.SetText(IDC_COUNTER,
                  Format("%ld = %d%%", static_cast<long>(done), static_cast<int>(percent)));
  if (percent <= shown_percent_) return;
  const int64_t steps = percent - shown_percent_;
  shown_percent_ = percent;
  for (int64_t i = 0; i < steps; ++i) window_.ProgressStepIt();
}

bool DialogObserver::Ask(std::string_view text, std::string_view caption, BoxIcon icon) {
  return window_.ShowBox(text, caption, icon, BoxButtons::kYesNo) == BoxAnswer::kYes;
}

void DialogObserver::Problem(std::string_view text, std::string_view caption, BoxIcon icon) {
  window_.ShowBox(text, caption, icon, BoxButtons::kOk);
}

std::string DialogObserver::MessageText(int entry, size_t buffer_bytes) {
  return window_.StringResource(entry, buffer_bytes);
}

void DialogObserver::Finished(RunEnd end) {
  if (end == RunEnd::kSucceeded) window_.ShowSuccess();
}

}  // namespace r7700
