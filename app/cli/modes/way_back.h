// After a run that did not succeed: what the instrument now holds, image by
// image, and the shortest next step that works. A run that reached the boot
// monitor leaves it waiting at the run's speed, where the next run finds it
// without a power cycle; what was already written again is skipped with
// --skip-unchanged; only a fault of the line calls for a lower speed.
#pragma once

#include <cstdint>
#include <string>

#include "app/update_run.h"

namespace r7700::cli {

struct RunEnding {
  bool interrupted = false;  // by the user, not by a fault
  PortRunReport report;
  int64_t firmware_bytes = 0;  // acknowledged by the instrument
  int64_t language_bytes = 0;
  int32_t baud = 0;
  bool fast = false;
  bool skip_unchanged = false;
};

// "firmware ...; languages ..." as the instrument now holds them.
std::string HoldingsText(const RunEnding& ending);

// What to do next, one sentence; empty when nothing was sent.
std::string NextStepText(const RunEnding& ending);

}  // namespace r7700::cli
