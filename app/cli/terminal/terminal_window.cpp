#include "app/cli/terminal/terminal_window.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <utility>

#include "app/cli/terminal/progress_bar.h"
#include "link/error_report.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr int kDefaultColumns = 80;
constexpr int kPlainStepPercent = 10;

// Control bytes the terminal would act on (an escape sequence from the
// line could clear the screen or retitle the window) are shown as \xNN.
bool ActsOnTerminal(unsigned char c) {
  return (c < 0x20 && c != '\n' && c != '\r' && c != '\t') || c == 0x7F;
}

// The log text as logged: only what the terminal would act on is escaped.
std::string Shown(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (ActsOnTerminal(byte)) {
      shown += Format("\\x%02x", static_cast<unsigned>(byte));
    } else {
      shown.push_back(c);
    }
  }
  return shown;
}

std::string Trimmed(std::string text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
  text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// One line of input without its line end; false at end of input with
// nothing read.
bool ReadAnswerLine(std::FILE* in, std::string* line) {
  line->clear();
  int c = 0;
  while ((c = std::fgetc(in)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
  return c != EOF || !line->empty();
}

}  // namespace

TerminalWindow::TerminalWindow(TerminalStreams streams, bool assume_yes)
    : streams_(streams), assume_yes_(assume_yes) {}

bool TerminalWindow::Interrupted() const {
  return streams_.interrupted != nullptr && streams_.interrupted->load();
}

void TerminalWindow::LogText(std::string_view text) {
  if (text.empty() || Interrupted()) return;
  EndProgressLine();
  const std::string shown = Shown(text);
  std::fwrite(shown.data(), 1, shown.size(), streams_.out);
  std::fflush(streams_.out);
  log_line_open_ = text.back() != '\n';
}

void TerminalWindow::StageBegun(RunStage, std::string_view caption) {
  EndProgressLine();
  caption_ = caption;
  StartPhase();
  DrawProgress();
}

void TerminalWindow::Progress(int64_t done, int64_t total, ProgressUnit unit) {
  unit_ = unit;
  total_ = total;
  if (done == 0) {
    // A count restarted under the same caption is a phase of its own.
    if (counted_) EndProgressLine();
    StartPhase();
  } else {
    counted_ = true;
    count_ = done;
    percent_ = static_cast<int>(done * 100 / total);
  }
  DrawProgress();
}

// The phase's last units may be written apart (the firmware's marker): it
// ends at its total all the same.
void TerminalWindow::StageCompleted() {
  if (drawn_.empty() && (streams_.progress_bar || plain_steps_ == 0)) return;
  counted_ = true;
  count_ = total_;
  percent_ = 100;
  DrawProgress();
}

bool TerminalWindow::Ask(std::string_view text, std::string_view caption, BoxIcon) {
  return Box(text, caption, BoxButtons::kYesNo) == BoxAnswer::kYes;
}

void TerminalWindow::Problem(std::string_view text, std::string_view caption, BoxIcon) {
  Box(text, caption, BoxButtons::kOk);
}

std::string TerminalWindow::MessageText(int entry, size_t buffer_bytes) {
  return LoadedTableEntry(entry, buffer_bytes);
}

void TerminalWindow::Finished(RunEnd end) {
  if (end != RunEnd::kSucceeded) return;
  StartBoxLine();
  std::fprintf(streams_.err, "%.*s: %.*s\n", static_cast<int>(kSuccessCaption.size()),
               kSuccessCaption.data(), static_cast<int>(kSuccessText.size()), kSuccessText.data());
  std::fflush(streams_.err);
}

BoxAnswer TerminalWindow::Box(std::string_view text, std::string_view caption, BoxButtons buttons) {
  // An interrupted run's last words are the front end's, not its boxes.
  if (Interrupted()) return buttons == BoxButtons::kOk ? BoxAnswer::kOk : BoxAnswer::kNo;
  StartBoxLine();
  std::fprintf(streams_.err, "%.*s: %.*s", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(text.size()), text.data());
  BoxAnswer answer = BoxAnswer::kOk;
  if (buttons == BoxButtons::kOk) {
    std::fputc('\n', streams_.err);
  } else {
    answer = AskYesNo();
  }
  if (!box_note_.empty()) std::fprintf(streams_.err, "%s\n", box_note_.c_str());
  box_note_.clear();
  std::fflush(streams_.err);
  return answer;
}

void TerminalWindow::EndProgressLine() {
  if (drawn_.empty()) return;
  std::fputc('\n', streams_.err);
  std::fflush(streams_.err);
  drawn_.clear();
}

void TerminalWindow::WriteAbove(std::string_view lines) {
  const std::string bar = drawn_;
  if (!bar.empty()) std::fprintf(streams_.err, "\r%*s\r", static_cast<int>(bar.size()), "");
  std::fwrite(lines.data(), 1, lines.size(), streams_.err);
  if (!bar.empty()) std::fputs(bar.c_str(), streams_.err);
  std::fflush(streams_.err);
}

void TerminalWindow::NoteAfterNextBox(std::string line) {
  box_note_ = std::move(line);
}

BoxAnswer TerminalWindow::AskYesNo() {
  std::fputs(" [y/N] ", streams_.err);
  if (assume_yes_) {
    std::fputs("yes\n", streams_.err);
    std::fflush(streams_.err);
    return BoxAnswer::kYes;
  }
  for (;;) {
    std::fflush(streams_.err);
    std::string line;
    if (!ReadAnswerLine(streams_.in, &line)) {
      std::fputs("no (end of input)\n", streams_.err);
      std::fflush(streams_.err);
      return BoxAnswer::kNo;
    }
    // Typed answers were echoed by the terminal; piped ones are shown here.
    if (!streams_.in_is_terminal) std::fprintf(streams_.err, "%s\n", line.c_str());
    const std::string answer = Trimmed(line);
    if (answer == "y" || answer == "yes") return BoxAnswer::kYes;
    if (answer.empty() || answer == "n" || answer == "no") return BoxAnswer::kNo;
    std::fputs("Please answer yes or no [y/N] ", streams_.err);
  }
}

void TerminalWindow::StartPhase() {
  counted_ = false;
  count_ = 0;
  percent_ = 0;
  plain_steps_ = 0;
  phase_start_ = Seconds();
}

// Without a terminal a transfer says every tenth of the way how far it got,
// so a log or a pipe never stays silent for the minutes it takes.
void TerminalWindow::WritePlainProgress(const ProgressReading& reading) {
  if (!reading.counts_bytes || reading.percent / kPlainStepPercent <= plain_steps_) return;
  plain_steps_ = reading.percent / kPlainStepPercent;
  StartBoxLine();
  std::fprintf(streams_.err, "%s %d%% (%ld bytes)\n", reading.caption.c_str(),
               plain_steps_ * kPlainStepPercent, reading.count);
  std::fflush(streams_.err);
}

void TerminalWindow::DrawProgress() {
  ProgressReading reading;
  reading.caption = caption_;
  if (reading.caption.empty() || Interrupted()) return;
  reading.seconds = Seconds() - phase_start_;
  reading.counts_bytes = unit_ == ProgressUnit::kBytes;
  if (counted_) {
    reading.count = count_;
    reading.percent = percent_;
  }
  if (!streams_.progress_bar) return WritePlainProgress(reading);
  const int columns = streams_.columns ? streams_.columns() : 0;
  const std::string line = ProgressLine(reading, columns > 0 ? columns : kDefaultColumns);
  if (line == drawn_) return;
  // A log line still open would be overwritten: the bar goes below it.
  if (drawn_.empty() && log_line_open_ && streams_.out_on_same_screen) {
    std::fputc('\n', streams_.err);
    log_line_open_ = false;
  }
  const int pad = static_cast<int>(drawn_.size()) - static_cast<int>(line.size());
  std::fprintf(streams_.err, "\r%s%*s", line.c_str(), std::max(pad, 0), "");
  std::fflush(streams_.err);
  drawn_ = line;
}

void TerminalWindow::StartBoxLine() {
  EndProgressLine();
  if (log_line_open_ && streams_.out_on_same_screen) {
    std::fputc('\n', streams_.err);
    log_line_open_ = false;
  }
}

double TerminalWindow::Seconds() const {
  if (streams_.seconds) return streams_.seconds();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace r7700::cli
