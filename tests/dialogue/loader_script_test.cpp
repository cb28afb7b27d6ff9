// Loader verification against scripted replies the simulated instrument does
// not give: odd version lines, checksum lines arriving late, dump rows with
// foreign text.
#include <gtest/gtest.h>

#include <string>

#include "dialogue/loader_verification.h"
#include "link/clock.h"
#include "link/control_ids.h"
#include "link/memory_window.h"
#include "link/run_context.h"
#include "link/text_format.h"
#include "tests/dialogue/scripted_line.h"

namespace r7700 {
namespace {

constexpr char kPrompt[] = "R7700>\n";

class LoaderScriptTest : public ::testing::Test {
 protected:
  // Banner, acknowledgement 0x00, prompt after the end block: what a
  // working downloader says before the checksum query.
  void QueueLoadUpToChecksum() {
    line_.Queue("VQ Downloader 1.0\n");
    line_.Queue(std::string(1, '\0'));
    line_.Queue(kPrompt);
  }
  std::string Log() { return window_.GetText(IDC_STATUS_LOG); }

  VirtualClock clock_;
  MemoryWindow window_;
  RunContext run_{window_, clock_, {}, {}, {}, {}};
  ScriptedLine line_{clock_};
  PortHandle port_ = &line_;
};

TEST_F(LoaderScriptTest, SeriesLetterAtIndexNineDecides) {
  struct Case {
    std::string reply;
    int result;
  };
  const Case cases[] = {
      {"R7700 V4.C 2003", 0}, {"R7700 V4.B", 0},    {"R7700 V4.A", 0},  {"R7700 V4.7", 0},
      {"R7700 V4  ", 0},      {"R7700 V4.\xC8", 0}, {"R7700 V4.", 0},   {"R77", 0},
      {"R7700 V4.D", -1},     {"R7700 V4.Z", -1},   {"R7700 V4.c", -1}, {"R7700 V4.a", -1},
  };
  for (const Case& c : cases) {
    VirtualClock clock;
    ScriptedLine line{clock};
    line.respond = [&](const std::string& command) {
      return command == "ver" ? c.reply + "\n" + kPrompt : std::string(kPrompt);
    };
    RunContext run{window_, clock, {}, {}, {}, {}};
    EXPECT_EQ(CheckMonitorVersion(run, &line), c.result) << c.reply;
    const std::string expected_lines = c.result == 0 ? "ver\nenh\nsec_enh\n" : "ver\n";
    EXPECT_EQ(line.sent(), expected_lines) << c.reply;
  }
}

TEST_F(LoaderScriptTest, ChecksumLineAfterTheThirdReadIsNudgedAway) {
  QueueLoadUpToChecksum();
  line_.Queue("\n\n\nc0f9\n");
  EXPECT_EQ(VerifyTestLoad(run_, port_), kTestLoadMismatch);
  EXPECT_EQ(Log(), "Check download...\r\nChecksum wrong!!!\r\n");
  EXPECT_EQ(Occurrences(line_.sent(), "crc 840000 2800\n"), 1);
  EXPECT_TRUE(line_.sent().ends_with("crc 840000 2800\n\n"));
}

TEST_F(LoaderScriptTest, ChecksumAsTheVeryLastReadIsStillParsed) {
  QueueLoadUpToChecksum();
  line_.Queue(std::string(15, '\n') + "C0F9\n" + kPrompt);
  EXPECT_EQ(VerifyTestLoad(run_, port_), kTestLoadOk);
  // Reads 4 to 16 were each answered with a nudge.
  EXPECT_TRUE(line_.sent().ends_with("crc 840000 2800\n" + std::string(13, '\n')));
  EXPECT_EQ(Log(), "Check download...\r\n");
}

TEST_F(LoaderScriptTest, PromptsInPlaceOfTheChecksumCountTwice) {
  QueueLoadUpToChecksum();
  for (int i = 0; i < 8; ++i) line_.Queue(kPrompt);
  line_.Queue("c0f9\n");
  EXPECT_EQ(VerifyTestLoad(run_, port_), kTestLoadMismatch);
  // Eight prompts use up the 16 reads; each one resent the query.
  EXPECT_EQ(Occurrences(line_.sent(), "crc 840000 2800\n"), 9);
  EXPECT_EQ(Log(), "Check download...\r\nChecksum wrong!!!\r\n");
}

TEST_F(LoaderScriptTest, MissingPromptAfterTheChecksumGivesTwo) {
  QueueLoadUpToChecksum();
  line_.Queue("c0f9\n");
  EXPECT_EQ(VerifyTestLoad(run_, port_), kNoPromptAfterChecksum);
  EXPECT_TRUE(line_.sent().ends_with("crc 840000 2800\n" + std::string(6, '\n')));
  EXPECT_EQ(Log(), "Check download...\r\n");
}

TEST_F(LoaderScriptTest, MissingPromptAfterTheEndBlockGivesThree) {
  line_.Queue("VQ Downloader 1.0\n");
  line_.Queue(std::string(1, '\0'));
  EXPECT_EQ(VerifyTestLoad(run_, port_), kNoPromptAfterLoad);
  EXPECT_EQ(Log(), "Check download...\r\ndownload failed\r\n");
  // End block, then nudges after the third to sixth failed waits only.
  EXPECT_TRUE(line_.sent().ends_with(std::string("\x4A\0\0\0\0", 5) + "\n\n\n\n"));
}

TEST_F(LoaderScriptTest, ForeignLinesInPlaceOfTheBannerAreLogged) {
  line_.Queue("what?\n\nramload\n");
  EXPECT_EQ(VerifyTestLoad(run_, port_), kNoDownloader);
  EXPECT_EQ(Log(),
            "Check download...\r\nunex: what?\r\nunex: \r\nunex: ramload\r\nunex: \r\nunex: \r\n");
  EXPECT_EQ(line_.sent(), "ramload\n");
}

TEST_F(LoaderScriptTest, DumpRowsAreComparedAsExactText) {
  const std::string row0 = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ";
  const std::string row1 = "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ";
  struct Case {
    std::string second_row;
    int result;
  };
  const Case cases[] = {
      {"00840010: " + row1, kDumpMismatch},
      {"10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f ", kDumpMismatch},
      {row1.substr(0, 47), kDumpMismatch},
  };
  for (const Case& c : cases) {
    VirtualClock clock;
    ScriptedLine line{clock};
    line.Queue(row0 + "\n" + kPrompt + c.second_row + "\n" + kPrompt);
    RunContext run{window_, clock, {}, {}, {}, {}};
    EXPECT_EQ(VerifyTestDump(run, &line), c.result) << c.second_row;
    EXPECT_EQ(line.sent(), "dm 840000\ndm 840010\n") << c.second_row;
  }
}

TEST_F(LoaderScriptTest, TextBehindTheDumpRowIsIgnored) {
  for (int row = 0; row < kDumpRows; ++row) {
    std::string text;
    for (int i = 0; i < 16; ++i) text += Format("%02X ", row * 16 + i);
    line_.Queue(text + " ................\n" + kPrompt);
  }
  EXPECT_EQ(VerifyTestDump(run_, port_), kDumpOk);
  EXPECT_EQ(line_.sent(), "dm 840000\ndm 840010\ndm 840020\ndm 840030\ndm 840040\ndm 840050\n");
  EXPECT_EQ(window_.GetText(IDC_PROGRESS_CAPTION), "Checking Step2 ...");
  EXPECT_EQ(window_.GetText(IDC_COUNTER), "6 = 100%");
}

}  // namespace
}  // namespace r7700
