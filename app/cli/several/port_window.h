// The display of one instrument's run when several run at once: whole log
// lines and boxes go to the shared display, and progress becomes the
// port's status line (stage, percent, rate, time left).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "app/cli/report/run_events.h"
#include "app/cli/report/run_reporter.h"
#include "app/cli/several/multi_display.h"
#include "link/run_observer.h"
#include "link/serial_backend.h"

namespace r7700::cli {

// It makes the reporter the port's run reports to, since that keeps what
// the window shows: each whole log line (one of the port's events, the
// open one passed on before a box and at the end), the line still open,
// the last problem.
class PortWindow : public RunObserver, private RunEventSink {
 public:
  // The retry offer is answered Yes: the one confirmation for all ports
  // stands for it.
  PortWindow(MultiDisplay& display, size_t index, RunEvents& events);

  // What the port's run reports to: this window and the port's events.
  RunReporter& reporter() { return reporter_; }

  // Log lines come whole, as events.
  void LogText(std::string_view) override {}
  void LogCleared(bool) override {}
  void StageBegun(RunStage, std::string_view) override {}
  void Progress(int64_t done, int64_t total, ProgressUnit unit) override;
  void StageCompleted() override;
  bool Ask(std::string_view text, std::string_view caption, BoxIcon icon) override;
  void Problem(std::string_view text, std::string_view caption, BoxIcon icon) override;
  std::string MessageText(int entry, size_t buffer_bytes) override;

  // The system's reason an open of port failed: said after the next box
  // (the open's numbered message), as a single port's run says it, and
  // taken for the failure of the port's run. Returns the line said.
  std::string ExplainOpenFailure(const std::string& port, const PortOpenFailure& failure);

  // Why the run failed in one line: the reason its open failed, or else the
  // text of the last problem shown.
  std::string FailureText() const;

 private:
  void LogLine(const EventTime& time, std::string_view line) override;
  void ShowBox(std::string_view text, std::string_view caption);
  void UpdateStatus(int64_t done, int percent, ProgressUnit unit);

  MultiDisplay& display_;
  size_t index_;
  RunReporter reporter_;
  std::string box_note_;      // said after the next box
  std::string open_failure_;  // "cannot open: REASON"; empty while none failed
  std::string last_line_;
  PortStatus status_;
  std::chrono::steady_clock::time_point phase_start_ = std::chrono::steady_clock::now();
  int64_t total_ = 0;  // of the current phase
  ProgressUnit unit_ = ProgressUnit::kTicks;
};

}  // namespace r7700::cli
