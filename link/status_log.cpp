#include "link/status_log.h"

#include <cstdarg>
#include <cstdio>

#include "link/clock.h"
#include "link/text_format.h"

namespace r7700 {

std::string WidenLineEnds(std::string_view text) {
  std::string wide;
  wide.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') wide.push_back('\r');
    wide.push_back(c);
  }
  return wide;
}

void LogLine(RunObserver& observer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  if (text.empty()) return;
  observer.LogText(text);
}

void ClearStatusLog(RunObserver& observer) {
  observer.LogCleared(true);
}

void SetProgressCaption(RunObserver& observer, RunStage stage, std::string_view text) {
  observer.StageBegun(stage, text);
}

void ShowProgress(RunObserver& observer, ProgressState& progress, int32_t amount, int32_t total,
                  ProgressUnit unit) {
  if (total <= 0) return;
  if (amount == 0) {
    progress = ProgressState{};
  } else {
    progress.transfer_counter += amount;
  }
  observer.Progress(progress.transfer_counter, total, unit);
}

void ShortPause(Clock& clock) {
  clock.Sleep(kShortPauseMs);
}

}  // namespace r7700
