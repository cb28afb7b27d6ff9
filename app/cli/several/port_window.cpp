#include "app/cli/several/port_window.h"

#include <algorithm>

#include "app/cli/ports/port_choice.h"
#include "link/error_report.h"

namespace r7700::cli {
namespace {

constexpr int kFullPercent = 100;

using SteadyClock = std::chrono::steady_clock;

double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

}  // namespace

PortWindow::PortWindow(MultiDisplay& display, size_t index, RunEvents& events)
    : display_(display), index_(index), reporter_(*this, events) {
  events.Add(*this);
}

void PortWindow::Progress(int64_t done, int64_t total, ProgressUnit unit) {
  total_ = total;
  unit_ = unit;
  if (done == 0) phase_start_ = SteadyClock::now();
  UpdateStatus(done, static_cast<int>(done * kFullPercent / total), unit);
}

void PortWindow::StageCompleted() {
  UpdateStatus(total_, kFullPercent, unit_);
}

bool PortWindow::Ask(std::string_view text, std::string_view caption, BoxIcon) {
  ShowBox(text, caption);
  return true;
}

void PortWindow::Problem(std::string_view text, std::string_view caption, BoxIcon) {
  ShowBox(text, caption);
}

std::string PortWindow::MessageText(int entry, size_t buffer_bytes) {
  return LoadedTableEntry(entry, buffer_bytes);
}

std::string PortWindow::ExplainOpenFailure(const std::string& port,
                                           const PortOpenFailure& failure) {
  box_note_ = "r7700-update: " + OpenFailureLine(port, failure);
  open_failure_ = "cannot open";
  if (!failure.reason.empty()) open_failure_ += ": " + failure.reason;
  return box_note_;
}

std::string PortWindow::FailureText() const {
  return open_failure_.empty() ? reporter_.last_problem() : open_failure_;
}

void PortWindow::ShowBox(std::string_view text, std::string_view caption) {
  display_.Box(index_, caption, text);
  if (box_note_.empty()) return;
  display_.Note(index_, box_note_);
  box_note_.clear();
}

void PortWindow::LogLine(const EventTime&, std::string_view line) {
  if (line.empty()) return;
  last_line_ = std::string(line);
  display_.LogLine(index_, line);
}

void PortWindow::UpdateStatus(int64_t done, int percent, ProgressUnit unit) {
  status_.percent = std::clamp(percent, 0, kFullPercent);
  const double elapsed = SecondsSince(phase_start_);
  // "Downloading:" stays open while its bytes go out: it names the stage.
  const std::string& open_line = reporter_.pending_line();
  status_.stage = open_line.empty() ? last_line_ : open_line;
  const bool transfer = done > 0 && unit == ProgressUnit::kBytes;
  status_.bytes_per_second = transfer && elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
  status_.seconds_left =
      status_.percent > 0 ? elapsed * (kFullPercent - status_.percent) / status_.percent : -1;
  display_.Status(index_, status_);
}

}  // namespace r7700::cli
