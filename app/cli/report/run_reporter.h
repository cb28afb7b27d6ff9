// The observer of a command-line run: passes every event on to the display
// it wraps (the terminal, or one port's line when several run at once) and
// reports what the run does as events to its sinks (--json, --log): each status log line once it is
// complete, progress phases and each new whole percent, boxes and the answers to questions, frames,
// the commands sent and lines received, and how the run ended. It keeps what the result and the
// records say of the run: the bytes the instrument acknowledged by region, the last problem shown,
// the end.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/cli/report/run_events.h"
#include "link/run_observer.h"

namespace r7700::cli {

class RunReporter : public RunObserver {
 public:
  RunReporter(RunObserver& display, RunEvents& events) : display_(display), events_(events) {}

  void LogText(std::string_view text) override;
  void LogCleared(bool take_focus) override { display_.LogCleared(take_focus); }
  void StageBegun(RunStage stage, std::string_view caption) override;
  void Progress(int64_t done, int64_t total, ProgressUnit unit) override;
  void StageCompleted() override;
  bool Ask(std::string_view text, std::string_view caption, BoxIcon icon) override;
  void Problem(std::string_view text, std::string_view caption, BoxIcon icon) override;
  std::string MessageText(int entry, size_t buffer_bytes) override {
    return display_.MessageText(entry, buffer_bytes);
  }
  void Frame(const FrameEvent& frame) override;
  void CommandSent(std::string_view line) override;
  void LineReceived(std::string_view line) override;
  void Finished(RunEnd end) override;

  // Reports a log line still waiting for its end (a run may end on one).
  void FlushLogLine();
  // That line so far ("Downloading:" while its bytes go out); empty when none waits.
  const std::string& pending_line() const { return pending_line_; }
  // How the run ended; none until it did.
  std::optional<RunEnd> end() const { return end_; }
  // The data bytes of the frames the instrument acknowledged in region.
  int64_t acknowledged_bytes(FrameRegion region) const {
    return acknowledged_[static_cast<size_t>(region)];
  }
  // The text of the last problem shown; empty when none was.
  const std::string& last_problem() const { return last_problem_; }

 private:
  void ReportPercent(int64_t done, int percent);

  RunObserver& display_;
  RunEvents& events_;
  RunStage stage_ = RunStage::kTestLoad;
  std::string caption_;
  std::string pending_line_;  // log text after the last line end
  int shown_percent_ = -1;    // of the current phase; -1 before its first count
  int64_t total_ = 0;         // of the current phase
  std::optional<RunEnd> end_;
  std::array<int64_t, 3> acknowledged_{};  // by FrameRegion
  std::string last_problem_;
};

}  // namespace r7700::cli
