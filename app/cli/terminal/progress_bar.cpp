#include "app/cli/terminal/progress_bar.h"

#include <algorithm>
#include <array>

#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr size_t kMaxBarCells = 30;
constexpr size_t kMinBarCells = 10;
// Before this much of a phase has passed, rate and time left are guesses.
constexpr double kMinEstimateSeconds = 1.0;
constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;
constexpr double kBytesPerKilobyte = 1000.0;

std::string Duration(double seconds) {
  const int whole = static_cast<int>(seconds + 0.5);
  if (whole >= kSecondsPerHour) {
    return Format("%d:%02d:%02d", whole / kSecondsPerHour,
                  whole % kSecondsPerHour / kSecondsPerMinute, whole % kSecondsPerMinute);
  }
  return Format("%d:%02d", whole / kSecondsPerMinute, whole % kSecondsPerMinute);
}

std::string Rate(const ProgressReading& reading) {
  if (!reading.counts_bytes || reading.seconds < kMinEstimateSeconds) return {};
  double rate = static_cast<double>(reading.count) / reading.seconds;
  if (rate < kBytesPerKilobyte) return Format(" %.0f B/s", rate);
  rate /= kBytesPerKilobyte;
  if (rate < kBytesPerKilobyte) return Format(" %.1f kB/s", rate);
  return Format(" %.1f MB/s", rate / kBytesPerKilobyte);
}

std::string TimeLeft(const ProgressReading& reading) {
  if (reading.percent >= 100) return Format(" in %s", Duration(reading.seconds).c_str());
  if (reading.percent <= 0 || reading.seconds < kMinEstimateSeconds) return {};
  const double left = reading.seconds * (100 - reading.percent) / reading.percent;
  return Format(" %s left", Duration(left).c_str());
}

std::string Count(const ProgressReading& reading) {
  return reading.counts_bytes ? Format(" %ld B", reading.count) : std::string();
}

}  // namespace

std::string ProgressLine(const ProgressReading& reading, int columns) {
  const size_t room = columns > 1 ? static_cast<size_t>(columns - 1) : 0;
  const std::string percent = Format(" %3d%%", std::clamp(reading.percent, 0, 100));
  // caption, " [", bar, "]", percent
  size_t used = reading.caption.size() + 3 + kMinBarCells + percent.size();
  // Most wanted first; shown in reading order.
  std::array<std::string, 3> extras{TimeLeft(reading), Rate(reading), Count(reading)};
  for (std::string& extra : extras) {
    if (used + extra.size() > room) extra.clear();
    used += extra.size();
  }
  const std::string tail = percent + extras[2] + extras[1] + extras[0];
  const size_t fixed = reading.caption.size() + 3 + tail.size();
  const size_t cells = room > fixed ? std::min(room - fixed, kMaxBarCells) : 0;
  const auto filled = cells * static_cast<size_t>(std::clamp(reading.percent, 0, 100)) / 100;
  std::string line = reading.caption;
  line.append(" [").append(filled, '#').append(cells - filled, '.').append("]").append(tail);
  if (line.size() > room) line.resize(room);
  return line;
}

}  // namespace r7700::cli
