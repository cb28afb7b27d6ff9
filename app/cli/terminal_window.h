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
//   - with a progress bar: the caption (1022), counter (1008) and bar drawn
//     on one line of err, rewritten in place and wiped before other output.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>

#include "link/memory_window.h"

namespace r7700::cli {

struct TerminalStreams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  std::FILE* in = stdin;
  bool progress_bar = false;        // err is a terminal
  bool out_on_same_screen = false;  // out is a terminal too
  bool in_is_terminal = false;      // answers are echoed as typed
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

  // Wipes the progress line, so that what follows starts on a clean line.
  void EndProgressLine();

 private:
  BoxAnswer AskYesNo();
  bool Interrupted() const;
  void DrawProgress();

  TerminalStreams streams_;
  bool assume_yes_;
  bool log_line_open_ = false;  // the last log text did not end a line
  size_t progress_width_ = 0;   // characters of the progress line on screen; 0: none
};

}  // namespace r7700::cli
