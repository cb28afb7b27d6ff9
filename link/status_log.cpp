#include "link/status_log.h"

#include <cstdarg>
#include <cstdio>

#include "link/clock.h"
#include "link/control_ids.h"
#include "link/text_format.h"
#include "link/window_surface.h"

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

void LogLine(WindowSurface& window, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  if (text.empty()) return;
  window.AppendText(IDC_STATUS_LOG, WidenLineEnds(text));
}

void ClearStatusLog(WindowSurface& window) {
  window.Focus(IDC_STATUS_LOG);
  window.SetText(IDC_STATUS_LOG, "");
}

void SetProgressCaption(WindowSurface& window, std::string_view text) {
  window.SetText(IDC_PROGRESS_CAPTION, text);
}

void ShowProgress(WindowSurface& window, ProgressState& progress, int32_t amount, int32_t total) {
  if (total <= 0) return;
  if (amount == 0) {
    progress = ProgressState{};
    window.ProgressSetRange(0, 100);
    window.ProgressSetStep(1);
    window.ProgressSetPos(0);
    return;
  }
  progress.transfer_counter += amount;
  // 64-bit arithmetic: the same whole percent as the 32-bit rule wherever
  // that one is defined, and no overflow for counters above 21474836.
  const int64_t percent = int64_t{progress.transfer_counter} * 100 / total;
  window.SetText(IDC_COUNTER, Format("%ld = %d%%", static_cast<long>(progress.transfer_counter),
                                     static_cast<int>(percent)));
  if (percent <= progress.shown_percent) return;
  const int64_t steps = percent - progress.shown_percent;
  progress.shown_percent = static_cast<int32_t>(percent);
  for (int64_t i = 0; i < steps; ++i) window.ProgressStepIt();
}

void ShortPause(Clock& clock) {
  clock.Sleep(kShortPauseMs);
}

}  // namespace r7700
