// The window of one instrument's run when several run at once: its controls
// live in memory, whole log lines and boxes go to the shared display, and
// the progress controls become the port's status line (stage, percent,
// rate, time left).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "app/cli/several/multi_display.h"
#include "link/memory_window.h"

namespace r7700::cli {

class PortWindow : public MemoryWindow {
 public:
  // The retry offer is answered Yes: the one confirmation for all ports
  // stands for it.
  PortWindow(MultiDisplay& display, size_t index);

  void AppendText(int id, std::string_view text) override;
  void SetText(int id, std::string_view text) override;
  void ProgressSetRange(int low, int high) override;
  void ProgressSetPos(int pos) override;
  void ProgressStepIt() override;
  BoxAnswer ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                    BoxButtons buttons) override;

  // Passes on a log line still open; the text of the last box shown.
  void EndLog();
  const std::string& last_box_text() const { return last_box_text_; }

 private:
  void TakeLine(std::string_view line);
  void UpdateStatus();

  MultiDisplay& display_;
  size_t index_;
  std::string open_line_;  // log text not yet ended by a line end
  std::string last_box_text_;
  std::string last_line_;
  PortStatus status_;
  std::chrono::steady_clock::time_point phase_start_ = std::chrono::steady_clock::now();
  bool phase_counted_ = false;  // the counter text belongs to this phase
};

}  // namespace r7700::cli
