// The text of the command line's progress line: caption, bar, percent, and
// as far as the terminal is wide, time left, rate and count.
#pragma once

#include <string>

namespace r7700::cli {

// One look at the current phase.
struct ProgressReading {
  std::string caption;
  long count = 0;             // units counted so far in this phase
  int percent = 0;            // 0 to 100
  double seconds = 0;         // since the phase began
  bool counts_bytes = false;  // a transfer: the count is bytes and has a rate
};

// The line for a reading, never wider than columns - 1 (writing the last
// column makes some terminals wrap). The bar shrinks first; then time left,
// rate and count are left out in that order; the caption is cut last.
std::string ProgressLine(const ProgressReading& reading, int columns);

}  // namespace r7700::cli
