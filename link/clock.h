// The clock seam: every pause of the dialogue and every read time limit goes
// through one clock, so tests run a whole update on virtual time.
#pragma once

#include <cstdint>
#include <string>

namespace r7700 {

class Clock {
 public:
  virtual ~Clock() = default;
  // Suspends the caller for the given time (scaled or virtual).
  virtual void Sleep(uint32_t ms) = 0;
  // Calendar time in whole seconds, on the same (scaled or virtual) time base.
  virtual int64_t CalendarSeconds() = 0;
};

// Real time multiplied by a scale factor: a scale of 0.1 makes every wait
// ten times shorter. Meant for the simulated instrument only; a real
// instrument needs scale 1.
class RealClock : public Clock {
 public:
  explicit RealClock(double scale = 1.0);
  void Sleep(uint32_t ms) override;
  int64_t CalendarSeconds() override;

 private:
  double scale_;
  int64_t start_wall_ms_;
};

// A clock whose time advances only when somebody sleeps on it. Sleeping
// returns at once, so a 48-second erase wait costs nothing in a test.
class VirtualClock : public Clock {
 public:
  void Sleep(uint32_t ms) override { now_us_ += int64_t{ms} * 1000; }
  int64_t CalendarSeconds() override { return now_us_ / 1000000; }
  int64_t NowMicros() const { return now_us_; }
  void AdvanceMicros(int64_t us) { now_us_ += us; }

 private:
  int64_t now_us_ = 0;
};

inline constexpr const char* kTimeScaleVariable = "R7700_TIME_SCALE";

// Parses a time scale text. Returns the scale, or 1 with a message in
// *problem when the text is not a positive number. Empty or null text is 1.
double ParseTimeScale(const char* text, std::string* problem);

// The scale from R7700_TIME_SCALE (1 when unset or invalid; *problem names
// an invalid value).
double TimeScaleFromEnvironment(std::string* problem);

}  // namespace r7700
