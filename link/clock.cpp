#include "link/clock.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace r7700 {
namespace {

int64_t WallMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

RealClock::RealClock(double scale)
    : scale_(scale > 0 ? scale : 1.0), start_wall_ms_(WallMillis()) {}

void RealClock::Sleep(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms * scale_));
}

int64_t RealClock::CalendarSeconds() {
  // Elapsed time on the scaled time base, so timings logged under a time
  // scale read as the instrument would see them.
  const auto elapsed_ms = static_cast<double>(WallMillis() - start_wall_ms_) / scale_;
  return (start_wall_ms_ + static_cast<int64_t>(elapsed_ms)) / 1000;
}

double ParseTimeScale(const char* text, std::string* problem) {
  if (text == nullptr || *text == '\0') return 1.0;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value > 0) || value > 1e6) {
    if (problem != nullptr) {
      *problem = std::string(kTimeScaleVariable) + "=\"" + text +
                 "\" is not a positive number; using 1 (real time)";
    }
    return 1.0;
  }
  return value;
}

double TimeScaleFromEnvironment(std::string* problem) {
  return ParseTimeScale(std::getenv(kTimeScaleVariable), problem);
}

}  // namespace r7700
