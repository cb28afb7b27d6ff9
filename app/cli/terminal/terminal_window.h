// The run's display on the terminal:
//   - status log text: to out as logged, control bytes other than LF, CR
//     and TAB as \xNN; clearing the log removes nothing already printed;
//   - message boxes: to err as "CAPTION: text" (line breaks kept); a Yes/No
//     question adds " [y/N] " and reads the answer from in (end of input
//     answers No), or answers Yes itself when told to;
//   - the SUCCESS box: its caption and text to err;
//   - without a progress bar: a transfer writes a line to err at every
//     tenth of the way ("Bytes transferred: 10% (412672 bytes)");
//   - with a progress bar: one line of err per phase (a new caption or a
//     restarted count begins a phase), rewritten in place, fitted to the
//     terminal's width, with rate and time left, at 100 % once the phase is
//     complete; other output ends it and leaves it on screen as it last
//     stood; a line written above it (WriteAbove) leaves it below, redrawn;
//   - every box starts on a line of its own, also when out and err share a
//     screen or file and the log line before it is still open.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "app/cli/terminal/progress_bar.h"
#include "link/run_observer.h"

namespace r7700::cli {

struct TerminalStreams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  std::FILE* in = stdin;
  bool progress_bar = false;          // err is a terminal
  bool out_on_same_screen = false;    // out is a terminal too
  bool in_is_terminal = false;        // answers are echoed as typed
  std::function<int()> columns{};     // err's width; unset or 0: 80
  std::function<double()> seconds{};  // a steady clock; unset: the system's
  // Once set, nothing more of the run is shown and questions answer No.
  const std::atomic<bool>* interrupted = nullptr;
};

inline constexpr std::string_view kSuccessCaption = "SUCCESS";
inline constexpr std::string_view kSuccessText =
    "Firmware Update successful! \nIf the instrument did not reboot automatically,\n cycle power "
    "to test the new firmware!";

class TerminalWindow : public RunObserver {
 public:
  TerminalWindow(TerminalStreams streams, bool assume_yes);

  void LogText(std::string_view text) override;
  // What is printed stays printed.
  void LogCleared(bool) override {}
  void StageBegun(RunStage stage, std::string_view caption) override;
  void Progress(int64_t done, int64_t total, ProgressUnit unit) override;
  void StageCompleted() override;
  bool Ask(std::string_view text, std::string_view caption, BoxIcon icon) override;
  void Problem(std::string_view text, std::string_view caption, BoxIcon icon) override;
  std::string MessageText(int entry, size_t buffer_bytes) override;
  void Finished(RunEnd end) override;

  // Ends the progress line, leaving it on screen, so that what follows
  // starts on a line of its own.
  void EndProgressLine();
  // Writes whole lines to err above the progress line, which is drawn
  // again below them.
  void WriteAbove(std::string_view lines);
  // A line shown after the next box, e.g. why the port could not be opened.
  void NoteAfterNextBox(std::string line);

 private:
  BoxAnswer Box(std::string_view text, std::string_view caption, BoxButtons buttons);
  BoxAnswer AskYesNo();
  bool Interrupted() const;
  void StartPhase();
  void DrawProgress();
  void WritePlainProgress(const ProgressReading& reading);
  void StartBoxLine();
  double Seconds() const;

  TerminalStreams streams_;
  bool assume_yes_;
  bool log_line_open_ = false;  // the last log text did not end a line
  std::string drawn_;           // the progress line on screen; empty: none
  std::string caption_;         // of the current phase; empty: none yet
  ProgressUnit unit_ = ProgressUnit::kTicks;
  bool counted_ = false;  // the phase has counted something
  int64_t count_ = 0;
  int64_t total_ = 0;
  int percent_ = 0;
  double phase_start_ = 0;
  int plain_steps_ = 0;  // tenths of the phase written without a terminal
  std::string box_note_;
};

}  // namespace r7700::cli
