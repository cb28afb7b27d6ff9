// The main window of the command line: the controls live in memory, and what
// the window would show goes to the terminal.
//   - status log text (1006): to out as appended, each CR LF written as LF
//     (the log widened every LF, so this gives back the text as logged),
//     control bytes other than LF, CR and TAB as \xNN;
//     clearing the log removes nothing already printed;
//   - message boxes: to err as "CAPTION: text" (line breaks kept); a Yes/No
//     question adds " [y/N] " and reads the answer from in (end of input
//     answers No), or answers Yes itself when told to;
//   - the SUCCESS box: its caption and text to err;
//   - without a progress bar: a transfer writes a line to err at every
//     tenth of the way ("Bytes transferred: 10% (412672 bytes)");
//   - with a progress bar: one line of err per phase (a new caption or a
//     restarted bar begins a phase), rewritten in place, fitted to the
//     terminal's width, with rate and time left; other output ends it and
//     leaves it on screen as it last stood;
//   - every box starts on a line of its own, also when out and err share a
//     screen or file and the log line before it is still open.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "app/cli/terminal/progress_bar.h"
#include "link/memory_window.h"

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

class TerminalWindow : public MemoryWindow {
 public:
  TerminalWindow(TerminalStreams streams, bool assume_yes);

  void SetText(int id, std::string_view text) override;
  void AppendText(int id, std::string_view text) override;
  void ProgressSetRange(int low, int high) override;
  void ProgressSetPos(int pos) override;
  void ProgressStepIt() override;
  BoxAnswer ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                    BoxButtons buttons) override;
  void ShowSuccess() override;

  // Ends the progress line, leaving it on screen, so that what follows
  // starts on a line of its own.
  void EndProgressLine();
  // A line shown after the next box, e.g. why the port could not be opened.
  void NoteAfterNextBox(std::string line);

 private:
  BoxAnswer AskYesNo();
  bool Interrupted() const;
  void StartPhase();
  void DrawProgress();
  void WritePlainProgress(const ProgressReading& reading);
  void StartBoxLine();
  double Seconds() const;

  TerminalStreams streams_;
  bool assume_yes_;
  bool log_line_open_ = false;    // the last log text did not end a line
  std::string drawn_;             // the progress line on screen; empty: none
  bool counter_current_ = false;  // the counter text belongs to this phase
  double phase_start_ = 0;
  int plain_steps_ = 0;    // tenths of the phase written without a terminal
  long final_count_ = -1;  // the count the status log reported for the phase; -1: none
  std::string box_note_;
};

}  // namespace r7700::cli
