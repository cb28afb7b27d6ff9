#include "app/cli/report/observed_window.h"

#include <cstdlib>

#include "app/cli/terminal/terminal_window.h"
#include "app/resources/resource.h"

namespace r7700::cli {
namespace {

// The counter text is "<count> = <percent>%".
bool ParseCounter(const std::string& text, int64_t* count, int* percent) {
  char* end = nullptr;
  *count = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || std::string_view(end).substr(0, 3) != " = ") return false;
  const char* digits = end + 3;
  *percent = static_cast<int>(std::strtol(digits, &end, 10));
  return end != digits;
}

}  // namespace

void ObservedWindow::SetText(int id, std::string_view text) {
  inner_.SetText(id, text);
  // Each phase sets its caption once, also when it repeats the last one.
  if (id == IDC_PROGRESS_CAPTION && !text.empty()) {
    stage_ = text;
    shown_percent_ = -1;
    events_.Emit(&RunEventSink::Stage, text);
  } else if (id == IDC_COUNTER) {
    int64_t count = 0;
    int percent = 0;
    // One event per whole percent: a transfer counts every block.
    if (ParseCounter(std::string(text), &count, &percent) && percent != shown_percent_) {
      shown_percent_ = percent;
      events_.Emit(&RunEventSink::Progress, std::string_view(stage_), count, percent);
    }
  }
}

void ObservedWindow::AppendText(int id, std::string_view text) {
  inner_.AppendText(id, text);
  if (id != IDC_STATUS_LOG) return;
  for (const char c : text) {
    if (c == '\r') continue;  // the log's CR LF is one line end
    if (c != '\n') {
      pending_line_.push_back(c);
      continue;
    }
    events_.Emit(&RunEventSink::LogLine, std::string_view(pending_line_));
    pending_line_.clear();
  }
}

BoxAnswer ObservedWindow::ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                                  BoxButtons buttons) {
  FlushLogLine();
  const BoxAnswer answer = inner_.ShowBox(text, caption, icon, buttons);
  if (buttons == BoxButtons::kOk) {
    events_.Emit(&RunEventSink::Box, caption, text);
  } else {
    events_.Emit(&RunEventSink::Question, caption, text, answer == BoxAnswer::kYes);
  }
  return answer;
}

void ObservedWindow::ShowSuccess() {
  FlushLogLine();
  inner_.ShowSuccess();
  events_.Emit(&RunEventSink::Box, kSuccessCaption, kSuccessText);
}

void ObservedWindow::FlushLogLine() {
  if (pending_line_.empty()) return;
  events_.Emit(&RunEventSink::LogLine, std::string_view(pending_line_));
  pending_line_.clear();
}

}  // namespace r7700::cli
