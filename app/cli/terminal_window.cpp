#include "app/cli/terminal_window.h"

#include <algorithm>
#include <cctype>

#include "app/resources/resource.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr int kProgressBarCells = 30;

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
  if (id == IDC_PROGRESS_CAPTION || id == IDC_COUNTER) DrawProgress();
}

bool TerminalWindow::Interrupted() const {
  return streams_.interrupted != nullptr && streams_.interrupted->load();
}

void TerminalWindow::AppendText(int id, std::string_view text) {
  MemoryWindow::AppendText(id, text);
  if (id != IDC_STATUS_LOG || text.empty() || Interrupted()) return;
  EndProgressLine();
  const std::string narrowed = NarrowLineEnds(text);
  std::fwrite(narrowed.data(), 1, narrowed.size(), streams_.out);
  std::fflush(streams_.out);
  log_line_open_ = text.back() != '\n';
}

void TerminalWindow::ProgressSetRange(int low, int high) {
  MemoryWindow::ProgressSetRange(low, high);
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
  EndProgressLine();
  std::fprintf(streams_.err, "%.*s: %.*s", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(text.size()), text.data());
  if (buttons == BoxButtons::kOk) {
    std::fputc('\n', streams_.err);
    std::fflush(streams_.err);
    return BoxAnswer::kOk;
  }
  return AskYesNo();
}

void TerminalWindow::ShowSuccess() {
  MemoryWindow::ShowSuccess();
  EndProgressLine();
  std::fprintf(streams_.err, "%.*s: %.*s\n", static_cast<int>(kSuccessCaption.size()),
               kSuccessCaption.data(), static_cast<int>(kSuccessText.size()), kSuccessText.data());
  std::fflush(streams_.err);
}

void TerminalWindow::EndProgressLine() {
  if (progress_width_ == 0) return;
  std::fprintf(streams_.err, "\r%*s\r", static_cast<int>(progress_width_), "");
  std::fflush(streams_.err);
  progress_width_ = 0;
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

void TerminalWindow::DrawProgress() {
  const std::string caption = GetText(IDC_PROGRESS_CAPTION);
  if (!streams_.progress_bar || caption.empty() || Interrupted()) return;
  const int high = std::max(progress_high(), 1);
  const int filled = std::clamp(progress_pos(), 0, high) * kProgressBarCells / high;
  const std::string line =
      Format("%s %s [%s%s]", caption.c_str(), GetText(IDC_COUNTER).c_str(),
             std::string(static_cast<size_t>(filled), '#').c_str(),
             std::string(static_cast<size_t>(kProgressBarCells - filled), '.').c_str());
  // A log line still open would be overwritten: the bar goes below it.
  if (progress_width_ == 0 && log_line_open_ && streams_.out_on_same_screen) {
    std::fputc('\n', streams_.err);
    log_line_open_ = false;
  }
  const int pad = static_cast<int>(progress_width_) - static_cast<int>(line.size());
  std::fprintf(streams_.err, "\r%s%*s", line.c_str(), std::max(pad, 0), "");
  std::fflush(streams_.err);
  progress_width_ = std::max(progress_width_, line.size());
}

}  // namespace r7700::cli
