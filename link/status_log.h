// Status log, progress display and the short pause: what every stage of a
// run writes to the main window while it works.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace r7700 {

class Clock;
class WindowSurface;

// Counters of the current progress phase.
struct ProgressState {
  int32_t transfer_counter = 0;  // units counted so far in this phase
  int32_t shown_percent = 0;     // whole percent the bar has reached
};

inline constexpr uint32_t kShortPauseMs = 200;

// Widens every LF to CR LF (a CR already standing before it stays).
std::string WidenLineEnds(std::string_view text);

// Appends printf-style text to the status log (1006), every "\n" becoming
// CR LF. No line end is added. Texts of any length are appended whole.
void LogLine(WindowSurface& window, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Empties the status log and gives it the focus, as a run does before its
// first question.
void ClearStatusLog(WindowSurface& window);

// Sets the progress caption (1022).
void SetProgressCaption(WindowSurface& window, std::string_view text);

// Amount 0 starts a phase: counters to 0, bar range 0..100, step 1, pos 0;
// the counter text is left as it was. Any other amount advances the phase:
// counter text (1008) "%ld = %d%%", and the bar steps once per new whole
// percent. total must be greater than 0.
void ShowProgress(WindowSurface& window, ProgressState& progress, int32_t amount, int32_t total);

// The 200 ms pause the dialogue makes after its commands.
void ShortPause(Clock& clock);

}  // namespace r7700
