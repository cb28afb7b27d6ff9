#include "app/cli/several/port_window.h"

#include <algorithm>
#include <charconv>

#include "app/resources/resource.h"

namespace r7700::cli {
namespace {

// The caption of the phases whose counter counts bytes on the line.
constexpr std::string_view kTransferCaption = "Bytes transferred:";
constexpr int kFullPercent = 100;

using SteadyClock = std::chrono::steady_clock;

double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// The count in front of the counter text "%ld = %d%%".
long CounterValue(const std::string& text) {
  long value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

PortWindow::PortWindow(MultiDisplay& display, size_t index) : display_(display), index_(index) {}

void PortWindow::AppendText(int id, std::string_view text) {
  MemoryWindow::AppendText(id, text);
  if (id != IDC_STATUS_LOG) return;
  for (const char c : text) {
    if (c == '\r') continue;
    if (c != '\n') {
      open_line_.push_back(c);
      continue;
    }
    TakeLine(open_line_);
    open_line_.clear();
  }
}

void PortWindow::SetText(int id, std::string_view text) {
  MemoryWindow::SetText(id, text);
  if (id != IDC_COUNTER) return;
  phase_counted_ = true;
  UpdateStatus();
}

void PortWindow::ProgressSetRange(int low, int high) {
  MemoryWindow::ProgressSetRange(low, high);
  // ShowProgress sets the range when a phase starts.
  phase_start_ = SteadyClock::now();
  phase_counted_ = false;
  UpdateStatus();
}

void PortWindow::ProgressSetPos(int pos) {
  MemoryWindow::ProgressSetPos(pos);
  UpdateStatus();
}

void PortWindow::ProgressStepIt() {
  MemoryWindow::ProgressStepIt();
  UpdateStatus();
}

BoxAnswer PortWindow::ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                              BoxButtons buttons) {
  MemoryWindow::ShowBox(text, caption, icon, buttons);
  EndLog();
  last_box_text_ = std::string(text);
  display_.Box(index_, caption, text);
  return buttons == BoxButtons::kOk ? BoxAnswer::kOk : BoxAnswer::kYes;
}

void PortWindow::EndLog() {
  if (open_line_.empty()) return;
  TakeLine(open_line_);
  open_line_.clear();
}

void PortWindow::TakeLine(std::string_view line) {
  if (line.empty()) return;
  last_line_ = std::string(line);
  display_.LogLine(index_, line);
}

void PortWindow::UpdateStatus() {
  const int high = std::max(progress_high(), 1);
  status_.percent = std::clamp(progress_pos() * kFullPercent / high, 0, kFullPercent);
  const double elapsed = SecondsSince(phase_start_);
  // "Downloading:" stays open while its bytes go out: it names the stage.
  status_.stage = open_line_.empty() ? last_line_ : open_line_;
  const bool transfer = phase_counted_ && GetText(IDC_PROGRESS_CAPTION) == kTransferCaption;
  status_.bytes_per_second = transfer && elapsed > 0
                                 ? static_cast<double>(CounterValue(GetText(IDC_COUNTER))) / elapsed
                                 : 0;
  status_.seconds_left =
      status_.percent > 0 ? elapsed * (kFullPercent - status_.percent) / status_.percent : -1;
  display_.Status(index_, status_);
}

}  // namespace r7700::cli
