#include "link/status_log.h"

#include <gtest/gtest.h>

#include <string>

#include "link/clock.h"
#include "link/control_ids.h"
#include "link/memory_window.h"

namespace r7700 {
namespace {

class StatusLogTest : public ::testing::Test {
 protected:
  std::string Log() { return window_.GetText(IDC_STATUS_LOG); }
  MemoryWindow window_;
};

TEST_F(StatusLogTest, EveryLineFeedBecomesCrLf) {
  LogLine(window_, "Change baudrate\n");
  EXPECT_EQ(Log(), "Change baudrate\r\n");
  LogLine(window_, "\n\n");
  EXPECT_EQ(Log(), "Change baudrate\r\n\r\n\r\n");
}

TEST_F(StatusLogTest, ExistingCrBeforeLfGetsASecondCr) {
  LogLine(window_, "reply\r\n");
  EXPECT_EQ(Log(), "reply\r\r\n");
}

TEST_F(StatusLogTest, NoLineEndIsAddedSoTheNextTextContinues) {
  LogLine(window_, "Downloading:");
  LogLine(window_, " %d%%\n", 50);
  EXPECT_EQ(Log(), "Downloading: 50%\r\n");
}

TEST_F(StatusLogTest, EmptyTextAppendsNothing) {
  LogLine(window_, "a");
  LogLine(window_, "%s", "");
  EXPECT_EQ(Log(), "a");
}

TEST_F(StatusLogTest, LongTextsAreAppendedWhole) {
  const std::string path(600, 'p');
  LogLine(window_, "Cannot open %s\n", path.c_str());
  EXPECT_EQ(Log(), "Cannot open " + path + "\r\n");
}

TEST_F(StatusLogTest, ProgressCaptionIsSetAsGiven) {
  SetProgressCaption(window_, RunStage::kTestLoad, "Checking Step1 ...");
  EXPECT_EQ(window_.GetText(IDC_PROGRESS_CAPTION), "Checking Step1 ...");
}

class ProgressTest : public ::testing::Test {
 protected:
  std::string Counter() { return window_.GetText(IDC_COUNTER); }
  void Show(int32_t amount, int32_t total) {
    ShowProgress(window_, progress_, amount, total, ProgressUnit::kTicks);
  }
  // The counter text and the bar position a user sees now.
  void ExpectShown(const std::string& counter, int bar) {
    EXPECT_EQ(Counter(), counter);
    EXPECT_EQ(window_.progress_pos(), bar);
  }
  MemoryWindow window_;
  ProgressState progress_;
};

TEST_F(ProgressTest, SixtyStepsMoveTheBarByWholePercents) {
  Show(0, 60);
  EXPECT_EQ(window_.progress_pos(), 0);
  EXPECT_EQ(window_.progress_high(), 100);
  Show(1, 60);
  ExpectShown("1 = 1%", 1);
  EXPECT_EQ(window_.progress_steps(), 1);
  Show(1, 60);
  ExpectShown("2 = 3%", 3);
  EXPECT_EQ(window_.progress_steps(), 3);
  for (int i = 3; i <= 60; ++i) {
    Show(1, 60);
    const int percent = i * 100 / 60;
    ExpectShown(std::to_string(i) + " = " + std::to_string(percent) + "%", percent);
  }
  ExpectShown("60 = 100%", 100);
  EXPECT_EQ(window_.progress_steps(), 100);
}

TEST_F(ProgressTest, SixStepsShowTruncatedPercents) {
  Show(0, 6);
  const char* expected[] = {"1 = 16%", "2 = 33%", "3 = 50%", "4 = 66%", "5 = 83%", "6 = 100%"};
  const int positions[] = {16, 33, 50, 66, 83, 100};
  for (int i = 0; i < 6; ++i) {
    Show(1, 6);
    ExpectShown(expected[i], positions[i]);
  }
}

TEST_F(ProgressTest, TestLoadCountsTenBlocksOf1024) {
  Show(0, 10240);
  for (int i = 1; i <= 10; ++i) {
    Show(1024, 10240);
    ExpectShown(std::to_string(i * 1024) + " = " + std::to_string(i * 10) + "%", i * 10);
  }
}

TEST_F(ProgressTest, StartingAPhaseKeepsTheCounterTextAndResetsTheBar) {
  Show(0, 6);
  Show(3, 6);
  ExpectShown("3 = 50%", 50);
  Show(0, 60);
  ExpectShown("3 = 50%", 0);
  // The new phase counts from 0 again.
  Show(30, 60);
  ExpectShown("30 = 50%", 50);
}

TEST_F(ProgressTest, CallBelowTheNextPercentChangesOnlyTheText) {
  Show(0, 10240);
  Show(50, 10240);
  ExpectShown("50 = 0%", 0);
  Show(52, 10240);
  ExpectShown("102 = 0%", 0);
  EXPECT_EQ(window_.progress_steps(), 0);
  Show(1, 10240);
  ExpectShown("103 = 1%", 1);
}

TEST_F(ProgressTest, CountersAbove21474836DoNotOverflowThePercent) {
  // counter * 100 leaves the 32-bit range here; the percent stays right.
  Show(0, 100000000);
  Show(50000000, 100000000);
  ExpectShown("50000000 = 50%", 50);
  Show(50000000, 100000000);
  ExpectShown("100000000 = 100%", 100);
}

TEST(ShortPause, SleepsTwoHundredMilliseconds) {
  VirtualClock clock;
  ShortPause(clock);
  EXPECT_EQ(clock.NowMicros(), 200000);
}

}  // namespace
}  // namespace r7700
