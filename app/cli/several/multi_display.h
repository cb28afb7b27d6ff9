// What a user sees while several instruments are updated at once. Every
// port's thread writes here; one lock keeps lines whole.
//   - redrawn (stderr is a terminal): one status line per instrument (port,
//     stage, percent, rate, time left) at the bottom of err, rewritten in
//     place; message boxes are printed above it as "PORT: CAPTION: text",
//     the program's own notes as "PORT: text";
//     log lines go to out, prefixed with the port, only when out is not the
//     same screen;
//   - otherwise: every whole log line to out and every box and note to err,
//     each prefixed with "PORT: ".
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace r7700::cli {

// Where one instrument's run stands.
struct PortStatus {
  std::string stage;            // the last log line, or the result at the end
  int percent = -1;             // of the current progress phase; -1: none
  double bytes_per_second = 0;  // 0: not a transfer phase
  double seconds_left = -1;     // of the current phase; -1: not yet known
};

// "M:SS" to the nearest second: a status line's time left, a run's
// duration in the summary.
std::string MinutesAndSeconds(double seconds);

struct DisplayStreams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  bool redraw = false;              // err is a terminal
  bool out_on_same_screen = false;  // out is that terminal too
  int columns = 80;                 // width of the terminal
};

class MultiDisplay {
 public:
  MultiDisplay(DisplayStreams streams, std::vector<std::string> ports);

  // One whole log line of port index, without its line end.
  void LogLine(size_t index, std::string_view line);
  // A message box of port index.
  void Box(size_t index, std::string_view caption, std::string_view text);
  // A line of the program's own about port index, printed as a box is.
  void Note(size_t index, std::string_view text);
  void Status(size_t index, const PortStatus& status);
  // Draws the status lines a last time and leaves them on the screen.
  void Finish();

 private:
  std::string StatusLine(size_t index) const;
  void PrintAbove(size_t index, std::string_view text);
  void WipeBlock();
  void DrawBlock();

  std::mutex mutex_;
  DisplayStreams streams_;
  std::vector<std::string> ports_;
  std::vector<PortStatus> statuses_;
  size_t port_width_ = 0;
  bool block_drawn_ = false;
  std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace r7700::cli
