#include "link/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace r7700 {
namespace {

TEST(TimeScale, UnsetOrEmptyMeansRealTime) {
  std::string problem;
  EXPECT_EQ(ParseTimeScale(nullptr, &problem), 1.0);
  EXPECT_EQ(ParseTimeScale("", &problem), 1.0);
  EXPECT_EQ(problem, "");
}

TEST(TimeScale, PositiveNumbersAreTaken) {
  std::string problem;
  EXPECT_EQ(ParseTimeScale("0.01", &problem), 0.01);
  EXPECT_EQ(ParseTimeScale("2", &problem), 2.0);
  EXPECT_EQ(ParseTimeScale("1e-3", &problem), 0.001);
  EXPECT_EQ(problem, "");
}

TEST(TimeScale, AnythingElseFallsBackToOneAndSaysWhy) {
  for (const char* text : {"0", "-1", "abc", "0.5x", "nan", "inf", "1e9", " "}) {
    std::string problem;
    EXPECT_EQ(ParseTimeScale(text, &problem), 1.0) << text;
    EXPECT_EQ(problem, std::string("R7700_TIME_SCALE=\"") + text +
                           "\" is not a positive number; using 1 (real time)")
        << text;
  }
  EXPECT_EQ(ParseTimeScale("-2", nullptr), 1.0);
}

TEST(TimeScale, ReadFromTheEnvironment) {
  std::string problem;
  setenv(kTimeScaleVariable, "0.25", 1);
  EXPECT_EQ(TimeScaleFromEnvironment(&problem), 0.25);
  setenv(kTimeScaleVariable, "fast", 1);
  EXPECT_EQ(TimeScaleFromEnvironment(&problem), 1.0);
  EXPECT_NE(problem.find("fast"), std::string::npos);
  unsetenv(kTimeScaleVariable);
}

TEST(VirtualClock, SleepingAdvancesTimeAtOnce) {
  VirtualClock clock;
  clock.Sleep(48000);
  EXPECT_EQ(clock.CalendarSeconds(), 48);
  clock.AdvanceMicros(500);
  EXPECT_EQ(clock.NowMicros(), 48000500);
}

}  // namespace
}  // namespace r7700
