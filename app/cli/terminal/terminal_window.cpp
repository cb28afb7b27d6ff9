#include "app/cli/terminal/terminal_window.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <utility>

#include "app/cli/terminal/progress_bar.h"
#include "app/resources/resource.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr int kDefaultColumns = 80;
constexpr int kPlainStepPercent = 10;
// The caption of the phases that count bytes on the wire.
constexpr std::string_view kTransferCaption = "Bytes transferred:";

// The closing line of a transfer states its total ("Transferred %ld Bytes").
// The bytes counted may stop short of it (the firmware's last five bytes are
// its marker, written afterwards), so the phase ends at what the run reports.
long ReportedTransfer(std::string_view text) {
  static constexpr std::string_view kReport = "Transferred ";
  const size_t at = text.find(kReport);
  long bytes = -1;
  if (at == std::string_view::npos) return -1;
  const std::string rest(text.substr(at + kReport.size()));
  return std::sscanf(rest.c_str(), "%ld Bytes", &bytes) == 1 ? bytes : -1;
}

// Control bytes the terminal would act on (an escape sequence from the
// line could clear the screen or retitle the window) are shown as \xNN.
bool ActsOnTerminal(unsigned char c) {
  return (c < 0x20 && c != '\n' && c != '\r' && c != '\t') || c == 0x7F;
}

// The log widened every LF to CR LF; the terminal wants the LF alone. A CR
// not followed by LF was logged as such and stays.
std::string NarrowLineEnds(std::string_view text) {
  std::string narrowed;
  narrowed.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    const auto c = static_cast<unsigned char>(text[i]);
    if (ActsOnTerminal(c)) {
      narrowed += Format("\\x%02x", static_cast<unsigned>(c));
    } else {
      narrowed.push_back(text[i]);
    }
  }
  return narrowed;
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

void TerminalWindow::SetText(int id, std::string_view text) {
  MemoryWindow::SetText(id, text);
  if (id == IDC_PROGRESS_CAPTION) {
    EndProgressLine();
    StartPhase();
  }
  if (id == IDC_COUNTER) counter_current_ = true;
  if (id == IDC_PROGRESS_CAPTION || id == IDC_COUNTER) DrawProgress();
}

bool TerminalWindow::Interrupted() const {
  return streams_.interrupted != nullptr && streams_.interrupted->load();
}

void TerminalWindow::AppendText(int id, std::string_view text) {
  MemoryWindow::AppendText(id, text);
  if (id != IDC_STATUS_LOG || text.empty() || Interrupted()) return;
  const bool phase_shown = !drawn_.empty() || (!streams_.progress_bar && plain_steps_ > 0);
  if (const long reported = ReportedTransfer(text); reported >= 0 && phase_shown) {
    final_count_ = reported;
    DrawProgress();
  }
  EndProgressLine();
  const std::string narrowed = NarrowLineEnds(text);
  std::fwrite(narrowed.data(), 1, narrowed.size(), streams_.out);
  std::fflush(streams_.out);
  log_line_open_ = text.back() != '\n';
}

void TerminalWindow::ProgressSetRange(int low, int high) {
  MemoryWindow::ProgressSetRange(low, high);
  // A bar restarted under the same caption is a phase of its own.
  if (counter_current_) EndProgressLine();
  StartPhase();
  DrawProgress();
}

void TerminalWindow::ProgressSetPos(int pos) {
  MemoryWindow::ProgressSetPos(pos);
  DrawProgress();
}

void TerminalWindow::ProgressStepIt() {
  MemoryWindow::ProgressStepIt();
  DrawProgress();
}

BoxAnswer TerminalWindow::ShowBox(std::string_view text, std::string_view caption, BoxIcon,
                                  BoxButtons buttons) {
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

void TerminalWindow::ShowSuccess() {
  MemoryWindow::ShowSuccess();
  StartBoxLine();
  std::fprintf(streams_.err, "%.*s: %.*s\n", static_cast<int>(kSuccessCaption.size()),
               kSuccessCaption.data(), static_cast<int>(kSuccessText.size()), kSuccessText.data());
  std::fflush(streams_.err);
}

void TerminalWindow::EndProgressLine() {
  if (drawn_.empty()) return;
  std::fputc('\n', streams_.err);
  std::fflush(streams_.err);
  drawn_.clear();
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
  counter_current_ = false;
  plain_steps_ = 0;
  final_count_ = -1;
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
  reading.caption = GetText(IDC_PROGRESS_CAPTION);
  if (reading.caption.empty() || Interrupted()) return;
  reading.seconds = Seconds() - phase_start_;
  reading.counts_bytes = reading.caption == kTransferCaption;
  if (final_count_ >= 0) {
    reading.count = final_count_;
    reading.percent = 100;
  } else if (long count = 0;
             counter_current_ && std::sscanf(GetText(IDC_COUNTER).c_str(), "%ld = %d%%", &count,
                                             &reading.percent) == 2) {
    reading.count = count;
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
