#include "app/cli/terminal/terminal_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/cli/report/log_file.h"
#include "link/error_report.h"
#include "link/status_log.h"
#include "tests/cli/screen.h"

namespace r7700::cli {
namespace {

// A stream in a temporary file, read back whole.
class Capture {
 public:
  explicit Capture(const std::string& text = "") : file_(std::tmpfile()) {
    std::fputs(text.c_str(), file_);
    std::rewind(file_);
  }
  ~Capture() { std::fclose(file_); }
  std::FILE* file() { return file_; }
  std::string Text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_))
      text.push_back(static_cast<char>(c));
    return text;
  }

 private:
  std::FILE* file_;
};

class TerminalWindowTest : public ::testing::Test {
 protected:
  TerminalWindow Window(bool assume_yes, bool progress_bar = false) {
    TerminalStreams streams{out_.file(), err_.file(), in_.file()};
    streams.progress_bar = progress_bar;
    streams.out_on_same_screen = progress_bar;
    return TerminalWindow(streams, assume_yes);
  }

  Capture out_;
  Capture err_;
  Capture in_{"maybe\n  YES \n"};
};

TEST_F(TerminalWindowTest, TheLogComesOutAsLoggedAndBoxesAsCaptionAndText) {
  TerminalWindow window = Window(false);
  LogLine(window, "Change baudrate\n");
  LogLine(window, "Downloading:");
  LogLine(window, "Transferred %d Bytes\r\n", 2233);
  ShowRunError(window, "Selected languages too large!\nPlease deselect one language!");
  window.Finished(RunEnd::kSucceeded);

  EXPECT_EQ(out_.Text(), "Change baudrate\nDownloading:Transferred 2233 Bytes\r\n");
  EXPECT_EQ(err_.Text(),
            "Error!: Selected languages too large!\nPlease deselect one language!\n"
            "SUCCESS: Firmware Update successful! \nIf the instrument did not reboot "
            "automatically,\n cycle power to test the new firmware!\n");
}

// Bytes from the line reach the log; the terminal must not act on them.
TEST_F(TerminalWindowTest, ControlBytesInTheLogAreShownEscaped) {
  TerminalWindow window = Window(false);
  LogLine(window, "unex: %s\n", "\x1b]0;owned\x07\x1b[2J\x7f\tok");
  EXPECT_EQ(out_.Text(), "unex: \\x1b]0;owned\\x07\\x1b[2J\\x7f\tok\n");
}

// Once the run is interrupted the front end has the last word: nothing more
// of the run is shown and a question is answered No.
TEST_F(TerminalWindowTest, AnInterruptedRunShowsNothingMore) {
  std::atomic<bool> interrupted{true};
  TerminalStreams streams{out_.file(), err_.file(), in_.file()};
  streams.interrupted = &interrupted;
  TerminalWindow window(streams, true);
  LogLine(window, "Board does not repsond!");
  EXPECT_FALSE(window.Ask("Try again?", "Q", BoxIcon::kWarning));
  ShowRunError(window, "Firmware download failed!");
  EXPECT_EQ(out_.Text(), "");
  EXPECT_EQ(err_.Text(), "");
}

TEST_F(TerminalWindowTest, QuestionsAreAskedUntilAnsweredAndEndOfInputSaysNo) {
  TerminalWindow window = Window(false);
  EXPECT_TRUE(window.Ask("Try again?", "Connection Failed!", BoxIcon::kWarning));
  EXPECT_FALSE(window.Ask("Again?", "Q", BoxIcon::kWarning));
  EXPECT_EQ(err_.Text(),
            "Connection Failed!: Try again? [y/N] maybe\nPlease answer yes or no [y/N]   YES \n"
            "Q: Again? [y/N] no (end of input)\n");
}

TEST_F(TerminalWindowTest, AssumedYesAnswersWithoutReading) {
  TerminalWindow window = Window(true);
  EXPECT_TRUE(window.Ask("Sure?", "Verify", BoxIcon::kWarning));
  EXPECT_EQ(err_.Text(), "Verify: Sure? [y/N] yes\n");
  EXPECT_EQ(std::fgetc(in_.file()), 'm');  // the input was left alone
}

// Log, bar and boxes on one screen of 60 columns, on a clock the test moves.
TEST_F(TerminalWindowTest, EachPhaseIsOneLineThatFitsResetsAndEndsWhereTheRunSaysItEnded) {
  constexpr size_t kColumns = 60;
  double now = 0;
  TerminalStreams streams{out_.file(), out_.file(), in_.file()};
  streams.progress_bar = true;
  streams.out_on_same_screen = true;
  streams.columns = [] { return static_cast<int>(kColumns); };
  streams.seconds = [&now] { return now; };
  TerminalWindow window(streams, true);
  ProgressState progress;

  LogLine(window, "Downloading:");
  SetProgressCaption(window, RunStage::kFirmwareTransfer, "Bytes transferred:");
  ShowProgress(window, progress, 0, 10240, ProgressUnit::kBytes);
  now = 2;
  ShowProgress(window, progress, 5120, 10240, ProgressUnit::kBytes);
  // The transfer is complete although less was counted.
  window.StageCompleted();
  LogLine(window, "\nTransferred 10240 Bytes in 4 sec!\n");
  SetProgressCaption(window, RunStage::kFirmwareErase, "Erasing ...");
  ShowProgress(window, progress, 0, 60, ProgressUnit::kTicks);
  now = 3;
  ShowProgress(window, progress, 1, 60, ProgressUnit::kTicks);
  LogLine(window, "Board does not repsond!");
  ShowRunError(window, "Firmware download failed!");

  const Screen screen = ShowOnScreen(out_.Text(), kColumns);
  EXPECT_EQ(screen.wrapped, 0);
  EXPECT_EQ(screen.lines, (std::vector<std::string>{
                              "Downloading:",
                              "Bytes transferred: [################] 100% 5.1 kB/s in 0:02",
                              "",
                              "Transferred 10240 Bytes in 4 sec!",
                              "Erasing ... [..............................]   1% 1:39 left",
                              "Board does not repsond!",
                              "Error!: Firmware download failed!",
                          }));
  const std::string text = out_.Text();
  // Redrawn in place: the half-way state was on screen before it was replaced.
  EXPECT_NE(text.find("\rBytes transferred: [#######.......]  50% 2.6 kB/s 0:02 left"),
            std::string::npos)
      << text;
}

// --trace on the terminal: each dialogue line goes above the bar, which is
// drawn again below it, whole.
TEST_F(TerminalWindowTest, TraceLinesGoAboveTheProgressLineNeverIntoIt) {
  constexpr size_t kColumns = 60;
  TerminalStreams streams{out_.file(), out_.file(), in_.file()};
  streams.progress_bar = true;
  streams.out_on_same_screen = true;
  streams.columns = [] { return static_cast<int>(kColumns); };
  streams.seconds = [] { return 0.0; };
  TerminalWindow window(streams, true);
  LogFileSink trace(out_.file(), true,
                    [&window](std::string_view lines) { window.WriteAbove(lines); });
  ProgressState progress;
  SetProgressCaption(window, RunStage::kFirmwareErase, "Erasing ...");
  ShowProgress(window, progress, 0, 60, ProgressUnit::kTicks);
  ShowProgress(window, progress, 30, 60, ProgressUnit::kTicks);
  trace.Sent(EventTime{}, "erase 3b00000 100000");
  ShowProgress(window, progress, 30, 60, ProgressUnit::kTicks);
  window.EndProgressLine();

  const Screen screen = ShowOnScreen(out_.Text(), kColumns);
  EXPECT_EQ(screen.lines, (std::vector<std::string>{
                              "1970-01-01T00:00:00.000Z > erase 3b00000 100000",
                              "Erasing ... [##############################] 100% in 0:00",
                          }))
      << out_.Text();
}

TEST_F(TerminalWindowTest, WithoutATerminalThereIsNoProgressLine) {
  TerminalWindow window = Window(true, false);
  ProgressState progress;
  SetProgressCaption(window, RunStage::kFirmwareErase, "Erasing ...");
  ShowProgress(window, progress, 0, 60, ProgressUnit::kTicks);
  ShowProgress(window, progress, 1, 60, ProgressUnit::kTicks);
  EXPECT_EQ(err_.Text(), "");
}

}  // namespace
}  // namespace r7700::cli
