// Status log, progress and the short pause: what every stage of a run
// reports to its observer while it works.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/run_observer.h"

namespace r7700 {

class Clock;

// The counter of the current progress phase: units counted so far.
struct ProgressState {
  int32_t transfer_counter = 0;
};

inline constexpr uint32_t kShortPauseMs = 200;

// Widens every LF to CR LF (a CR already standing before it stays).
std::string WidenLineEnds(std::string_view text);

// Reports printf-style text to the status log. No line end is added. Texts
// of any length are reported whole.
void LogLine(RunObserver& observer, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Empties the status log and gives it the focus, as a run does before its
// first question.
void ClearStatusLog(RunObserver& observer);

// Begins the progress phase stage under this caption.
void SetProgressCaption(RunObserver& observer, RunStage stage, std::string_view text);

// Amount 0 starts a phase: its counter goes to 0. Any other amount advances
// the phase by that many units. total must be greater than 0.
void ShowProgress(RunObserver& observer, ProgressState& progress, int32_t amount, int32_t total,
                  ProgressUnit unit);

// The 200 ms pause the dialogue makes after its commands.
void ShortPause(Clock& clock);

}  // namespace r7700
