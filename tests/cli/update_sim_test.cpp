// r7700-update against r7700-sim over a pty on scaled time: what the user
// sees (stdout, stderr, exit status) and what the instrument ends up with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/processes.h"
#include "tests/cli/sample_homes.h"
#include "tests/cli/screen.h"
#include "tests/cli/sim_state.h"

namespace r7700::cli {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kVerifyQuestion =
    "Verify: Did you connect and configure\n the OTDR? (19200 Baud) [y/N] ";
// Runs under test are on scaled time, which the tool says right before its
// question.
constexpr const char* kScaledTimeWarning =
    "r7700-update: R7700_TIME_SCALE=0.05: every wait is scaled; for the simulated instrument "
    "only\nVerify: ";
constexpr const char* kSuccessBox =
    "SUCCESS: Firmware Update successful! \nIf the instrument did not reboot automatically,\n "
    "cycle power to test the new firmware!\n";

class UpdateAgainstSim : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(FullHome().empty()); }

  static ToolResult Run(const SimProcess& sim, Strings args, const std::string& input = "") {
    args.insert(args.end(), {"--port", sim.port()});
    return RunTool(args, input, std::to_string(kTestTimeScale));
  }

  // stderr from the question on: the plan before it is checked on its own.
  static std::string AfterPlan(const std::string& err) {
    const size_t question = err.find("Verify: ");
    return question == std::string::npos ? err : err.substr(question);
  }
};

TEST_F(UpdateAgainstSim, FullUpdateAt115200LoadsFirmwareAndTheChosenLanguages) {
  SimProcess sim({}, kTestTimeScale);
  ASSERT_FALSE(sim.port().empty());
  const ToolResult run = Run(sim, {"--home", FullHome(), "--baud", "115200", "--lang", "English",
                                   "--lang", "Espanol", "--yes"});
  const SimState state = ParseSimState(sim.Stop());

  ASSERT_FALSE(run.timed_out);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.err.starts_with("Plan:\n  port       " + sim.port() +
                                  ", 115200 baud (the instrument is reached at 19200)\n"))
      << run.err;
  EXPECT_NE(run.err.find("  languages  English, Espanol\n  boots from flash\n"
                         "  erases     firmware region 0x3C00000-0x3FEFFFF (4032 KiB)\n"
                         "  erases     language area 0x3B00000-0x3BFFFFF (1024 KiB)\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(AfterPlan(run.err), std::string(kVerifyQuestion) + "yes\n" + kSuccessBox);
  EXPECT_NE(run.err.find(kScaledTimeWarning), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.starts_with("Preparing languages ...\nInitializing connection ...\n"))
      << run.out;
  EXPECT_NE(run.out.find("Checksum ok!\nWriting magic & checksum!\nFirmware download complete!\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(run.out.ends_with("Language download complete!\n")) << run.out;
  EXPECT_EQ(run.out.find('\r'), std::string::npos);

  ASSERT_TRUE(state.valid);
  EXPECT_TRUE(state.rebooted);
  EXPECT_TRUE(state.firmware_valid);
  EXPECT_TRUE(state.languages_valid);
  EXPECT_EQ(state.languages, (Strings{"English", "Espanol"}));
  EXPECT_TRUE(SawCommand(state, "baud 115200"));
  // Without the boot sector option the RAM card copy is never touched: its
  // user flash reads erased.
  ASSERT_EQ(state.regions.size(), 8u);
  EXPECT_EQ(state.regions.at("firmware").start, 0x3C00000u);
  EXPECT_EQ(state.regions.at("ramcard_user_flash").sha256,
            FileRangeSha256("/dev/null", 0, state.regions.at("ramcard_user_flash").length));
}

TEST_F(UpdateAgainstSim, SeriesAIsRefusedBeforeAnythingIsErased) {
  SimProcess sim({"--series", "A"}, kTestTimeScale);
  const ToolResult run = Run(sim, {"--home", FullHome(), "--baud", "115200", "--yes"});
  const SimState state = ParseSimState(sim.Stop());

  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("Error!: This program can update R7700B/C Series Vesk-OTDR's only !\n\n"
                         "To update the connected R7700A Vesk-OTDR please use the appropriate "
                         "version of the update program (version 3.0)\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("SUCCESS"), std::string::npos);
  ASSERT_TRUE(state.valid);
  EXPECT_TRUE(SawCommand(state, "ver"));
  EXPECT_FALSE(SawCommand(state, "erase"));
  EXPECT_FALSE(SawCommand(state, "pf"));
  EXPECT_FALSE(state.rebooted);
}

TEST_F(UpdateAgainstSim, EndOfInputAtTheConfirmationDeclinesAndSendsNothing) {
  SimProcess sim({}, kTestTimeScale);
  const ToolResult run = Run(sim, {"--home", FullHome()});
  const SimState state = ParseSimState(sim.Stop());

  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(AfterPlan(run.err), std::string(kVerifyQuestion) + "no (end of input)\n");
  EXPECT_EQ(run.out, "");
  ASSERT_TRUE(state.valid);
  EXPECT_EQ(state.commands, Strings{});
}

TEST_F(UpdateAgainstSim, AnswersTypedAtTheConfirmationAreReadUntilTheyMeanSomething) {
  SimProcess sim({}, kTestTimeScale);
  const ToolResult run = Run(sim, {"--home", FullHome()}, "perhaps\nNo\n");
  const SimState state = ParseSimState(sim.Stop());

  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(AfterPlan(run.err),
            std::string(kVerifyQuestion) + "perhaps\nPlease answer yes or no [y/N] No\n");
  ASSERT_TRUE(state.valid);
  EXPECT_EQ(state.commands, Strings{});
}

// Each of these stops before the port is opened: nothing reaches the
// instrument, and the user gets one line (or the numbered message).
TEST_F(UpdateAgainstSim, BadInputEndsBeforeAnythingIsSent) {
  SimProcess sim({}, kTestTimeScale);
  const std::string& full = FullHome();
  ASSERT_FALSE(RestrictedHome().empty());
  ASSERT_FALSE(BareHome().empty());
  struct Case {
    Strings args;
    int status;
    std::string err;
  };
  const std::vector<Case> cases{
      {{"--home", full, "--frobnicate", "--yes"},
       64,
       "r7700-update: unknown option: --frobnicate (see r7700-update --help)\n"},
      {{"--home", full, "--baud", "1200", "--yes"},
       64,
       "r7700-update: --baud 1200: use 9600, 19200, 38400, 57600 or 115200 (see r7700-update "
       "--help)\n"},
      {{"--home", full, "--lang", "Klingon", "--yes"},
       64,
       "r7700-update: --lang Klingon: not a language of lang.cfg (English, Deutsch, Francais, "
       "Espanol, Italiano)\n"},
      {{"--home", full + "/nonexistent", "--yes"},
       64,
       "r7700-update: --home " + full + "/nonexistent: not a readable folder\n"},
      {{"--home", RestrictedHome(), "--no-firmware", "--yes"},
       64,
       "r7700-update: --no-firmware: the settings file veskotdr.ini fixes the download options "
       "(Restricted mode); leave these options out\n"},
      {{"--home", BareHome(), "--yes"},
       3,
       "ERROR: Cannot find the INI file veskotdr.ini !\nError nr.: 100\n"},
      {{"--home", full + "/data", "--yes"},
       3,
       "ERROR: Cannot open the file " + full + "/data/data/lang.cfg !\nError nr.: 102\n"},
  };
  for (const Case& c : cases) {
    const ToolResult run = Run(sim, c.args);
    EXPECT_EQ(run.status, c.status) << c.args[2];
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  const ToolResult missing_port = RunTool({"--home", full, "--port"}, "", "1");
  EXPECT_EQ(missing_port.status, 64);
  EXPECT_EQ(missing_port.err, "r7700-update: --port needs a value (see r7700-update --help)\n");

  const SimState state = ParseSimState(sim.Stop());
  ASSERT_TRUE(state.valid);
  EXPECT_EQ(state.commands, Strings{});
}

TEST_F(UpdateAgainstSim, HelpAndVersionNeedNoInstrument) {
  for (const char* help_option : {"--help", "-h"}) {
    const ToolResult help = RunTool({help_option}, "", "1");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: r7700-update [--port NAME] [--baud RATE]"))
        << help.out;
    EXPECT_NE(help.out.find("Exit status: 0 success, 1 declined"), std::string::npos);
  }
  for (const char* version_option : {"--version", "-V"}) {
    const ToolResult version = RunTool({version_option, "--port", "/nonexistent"}, "", "1");
    EXPECT_EQ(version.status, 0);
    // The packages are named after the same version.
    EXPECT_EQ(version.out, "r7700-update " R7700_VERSION "\n");
  }
}

TEST_F(UpdateAgainstSim, APortThatCannotBeOpenedIsNamedWithTheReason) {
  SimProcess sim({}, kTestTimeScale);
  const std::string missing = sim.port() + "-unplugged";
  const ToolResult run = RunTool({"--home", FullHome(), "-p", missing, "-y"}, "", "1");
  const SimState state = ParseSimState(sim.Stop());

  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.err.ends_with(
      "ERROR: Cannot open COM port " + missing + " !\nError nr.: 104\nr7700-update: cannot open " +
      missing +
      ": No such file or directory (is the adapter plugged in? r7700-update --list-ports shows "
      "the ports)\nError!: Failed to initialize Interface!\n"))
      << run.err;
  ASSERT_TRUE(state.valid);
  EXPECT_EQ(state.commands, Strings{});
}

// A whole update in a terminal 48 columns wide, log and bar on one screen.
TEST_F(UpdateAgainstSim, InANarrowTerminalEachPhaseLeavesOneLineThatFits) {
  constexpr size_t kColumns = 48;
  SimProcess sim({}, kTestTimeScale);
  const ToolResult run =
      RunToolOnTerminal({"--home", FullHome(), "--baud", "115200", "--port", sim.port(), "--yes"},
                        std::to_string(kTestTimeScale), kColumns);
  const SimState state = ParseSimState(sim.Stop());

  ASSERT_FALSE(run.timed_out);
  EXPECT_EQ(run.status, 0) << run.out;
  // Every drawing of the bar fits (text such as the plan may wrap as text does).
  size_t drawn = 0;
  for (size_t end = 0, start = 0; end != std::string::npos; start = end + 1) {
    end = run.out.find_first_of("\r\n", start);
    const std::string piece = run.out.substr(start, end - start);
    if (piece.find("] ") == std::string::npos || piece.find('%') == std::string::npos) continue;
    ++drawn;
    EXPECT_LT(piece.size(), kColumns) << piece;
  }
  EXPECT_GT(drawn, 0u);
  const Screen screen = ShowOnScreen(run.out, kColumns);
  Strings phases;
  for (const std::string& line : screen.lines) {
    const size_t bar = line.find(" [");
    if (bar == std::string::npos || line.find("] 100%") == std::string::npos) continue;
    phases.push_back(line.substr(0, bar));
  }
  EXPECT_EQ(phases, (Strings{"Checking Step1 ...", "Checking Step2 ...", "Erasing ...",
                             "Bytes transferred:", "Erasing ...", "Bytes transferred:"}))
      << run.out;
  EXPECT_EQ(screen.lines.back(), " cycle power to test the new firmware!");
  EXPECT_TRUE(state.firmware_valid && state.languages_valid);
}

TEST_F(UpdateAgainstSim, AnInvalidTimeScaleIsReportedAndRealTimeUsed) {
  const ToolResult run = RunTool({"--home", BareHome(), "--port", "/nonexistent"}, "", "fast");
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.err,
            "r7700-update: R7700_TIME_SCALE=\"fast\" is not a positive number; using 1 (real "
            "time)\nERROR: Cannot find the INI file veskotdr.ini !\nError nr.: 100\n");
}

}  // namespace
}  // namespace r7700::cli
