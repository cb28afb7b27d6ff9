#include "app/cli/report/run_reporter.h"

#include "app/cli/terminal/terminal_window.h"

namespace r7700::cli {

namespace {

constexpr int kFullPercent = 100;

}  // namespace

void RunReporter::LogText(std::string_view text) {
  display_.LogText(text);
  for (const char c : text) {
    if (c == '\r') continue;  // a CR before the LF is no part of the line
    if (c != '\n') {
      pending_line_.push_back(c);
      continue;
    }
    events_.Emit(&RunEventSink::LogLine, std::string_view(pending_line_));
    pending_line_.clear();
  }
}

void RunReporter::StageBegun(RunStage stage, std::string_view caption) {
  display_.StageBegun(stage, caption);
  stage_ = stage;
  caption_ = caption;
  shown_percent_ = -1;
  events_.Emit(&RunEventSink::Stage, stage, caption);
}

void RunReporter::Progress(int64_t done, int64_t total, ProgressUnit unit) {
  display_.Progress(done, total, unit);
  total_ = total;
  // One event per whole percent: a transfer counts every block.
  if (done > 0) ReportPercent(done, static_cast<int>(done * kFullPercent / total));
}

void RunReporter::StageCompleted() {
  display_.StageCompleted();
  ReportPercent(total_, kFullPercent);
}

void RunReporter::ReportPercent(int64_t done, int percent) {
  if (percent == shown_percent_) return;
  shown_percent_ = percent;
  events_.Emit(&RunEventSink::Progress, stage_, std::string_view(caption_), done, percent);
}

bool RunReporter::Ask(std::string_view text, std::string_view caption, BoxIcon icon) {
  FlushLogLine();
  const bool yes = display_.Ask(text, caption, icon);
  events_.Emit(&RunEventSink::Question, caption, text, yes);
  return yes;
}

void RunReporter::Problem(std::string_view text, std::string_view caption, BoxIcon icon) {
  FlushLogLine();
  display_.Problem(text, caption, icon);
  last_problem_ = text;
  events_.Emit(&RunEventSink::Box, caption, text);
}

void RunReporter::Frame(const FrameEvent& frame) {
  display_.Frame(frame);
  if (frame.ack) acknowledged_[static_cast<size_t>(frame.region)] += frame.length;
  events_.Emit(&RunEventSink::Frame, frame);
}

void RunReporter::CommandSent(std::string_view line) {
  events_.Emit(&RunEventSink::Sent, line);
}

void RunReporter::LineReceived(std::string_view line) {
  events_.Emit(&RunEventSink::Received, line);
}

void RunReporter::Finished(RunEnd end) {
  FlushLogLine();
  display_.Finished(end);
  end_ = end;
  if (end == RunEnd::kSucceeded) events_.Emit(&RunEventSink::Box, kSuccessCaption, kSuccessText);
}

void RunReporter::FlushLogLine() {
  if (pending_line_.empty()) return;
  events_.Emit(&RunEventSink::LogLine, std::string_view(pending_line_));
  pending_line_.clear();
}

}  // namespace r7700::cli
