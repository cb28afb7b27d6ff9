// r7700-update against r7700-sim over a pty on scaled time: what the user
// sees (stdout, stderr, exit status) and what the instrument ends up with.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
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
    "only\nThe update will run at 115200 baud (the instrument is first reached at 19200).\n"
    "Verify: ";
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
  // Without a terminal each transfer says every tenth of the way how far it got.
  std::string boxes;
  Strings steps;
  std::istringstream lines(AfterPlan(run.err));
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("Bytes transferred: ")) {
      steps.push_back(line);
    } else {
      boxes += line + "\n";
    }
  }
  EXPECT_EQ(boxes, std::string(kVerifyQuestion) + "yes\n" + kSuccessBox);
  // Ten for the firmware; the small language image takes three blocks.
  ASSERT_EQ(steps.size(), 13u) << run.err;
  EXPECT_EQ(steps.back(), "Bytes transferred: 100% (2727 bytes)");
  EXPECT_TRUE(steps[0].starts_with("Bytes transferred: 10% (")) << steps[0];
  EXPECT_EQ(steps[9], "Bytes transferred: 100% (4128768 bytes)");
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
  const ToolResult erasing = Run(sim, {"--home", FullHome(), "--erase-user-flash"});
  const ToolResult skipping = Run(sim, {"--home", FullHome(), "--skip-unchanged", "--no-firmware"});
  const SimState state = ParseSimState(sim.Stop());

  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(AfterPlan(run.err), std::string(kVerifyQuestion) + "no (end of input)\n");
  EXPECT_EQ(run.out, "");
  // A run that skips what is unchanged promises no full erase.
  EXPECT_NE(
      skipping.err.find("  erases     at most language area 0x3B00000-0x3BFFFFF (1024 KiB)\n"
                        "             only the sectors that differ, found after connecting\n"),
      std::string::npos)
      << skipping.err;
  // An erase the user cannot undo is named right before the question.
  EXPECT_NE(
      erasing.err.find("\nWARNING: this also erases the instrument's user data (its stored "
                       "measurements) in user flash 0x3800000-0x3AFFFFF (3072 KiB)\nVerify: "),
      std::string::npos)
      << erasing.err;
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
       "ERROR: Cannot find the INI file veskotdr.ini !\nError nr.: 100\nr7700-update: neither "
       "product.ini nor veskotdr.ini in " +
           BareHome() + "/ (the --home folder)\n"},
      {{"--home", full + "/data", "--yes"},
       3,
       "ERROR: Cannot open the file " + full + "/data/data/lang.cfg !\nError nr.: 102\n" +
           "r7700-update: no readable data/lang.cfg in " + full + "/data/ (the --home folder)\n"},
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
    EXPECT_TRUE(help.out.starts_with(
        "usage: r7700-update [--port NAME]... [--all-ports] [--log-dir DIR] [--baud RATE]"))
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

// Checked before the question: one line with the reason, exit 3, and the
// instrument on the named port that works has received nothing.
TEST_F(UpdateAgainstSim, APortOrFileThatCannotBeUsedIsRefusedBeforeTheQuestion) {
  SimProcess sim({}, kTestTimeScale);
  const std::string missing = sim.port() + "-unplugged";
  const std::string folder = MakeTempFolder("not-a-port");
  const std::string home = MakeTempFolder("home-without-a-module");
  std::filesystem::copy(FullHome(), home, std::filesystem::copy_options::recursive);
  std::filesystem::remove(home + "/data/deu_mod2.bin");
  struct Case {
    Strings args;
    std::string err;
  };
  const std::vector<Case> cases{
      {{"-p", missing},
       "cannot open " + missing +
           ": No such file or directory (is the adapter plugged in? r7700-update --list-ports "
           "shows the ports)"},
      {{"-p", "/dev/null"},
       "cannot open /dev/null: not a terminal device (name a serial port; r7700-update "
       "--list-ports shows them)"},
      {{"-p", folder}, "cannot open " + folder + ": Is a directory"},
      {{"-p", sim.port(), "-p", missing, "--log-dir", folder + "/missing"},
       "--log-dir " + folder + "/missing: no such folder"},
      {{"-p", sim.port(), "--home", home},
       home + "/data/deu_mod2.bin: not found (a file of Deutsch)"},
  };
  for (const Case& c : cases) {
    Strings args{"-y"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    if (c.args.back() != home) args.insert(args.end(), {"--home", FullHome()});
    const ToolResult run = RunTool(args, "", "1");
    EXPECT_EQ(run.status, 3) << c.err;
    EXPECT_EQ(run.err, "r7700-update: " + c.err + "\n");
    EXPECT_EQ(run.out, "");
  }
  const SimState state = ParseSimState(sim.Stop());
  ASSERT_TRUE(state.valid);
  EXPECT_EQ(state.commands, Strings{});
}

// Asked for the power supply when the monitor cannot say; No stops the run
// before anything is erased.
TEST_F(UpdateAgainstSim, AnInstrumentInItsMonitorOnBatteryIsNotWrittenWithoutConsent) {
  SimProcess sim({"--in-monitor", "--power", "battery"}, kTestTimeScale);
  const ToolResult run = Run(sim, {"--home", FullHome(), "--no-firmware"}, "y\nn\n");
  const SimState state = ParseSimState(sim.Stop());

  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("Power: The OTDR answers from its boot monitor, which cannot tell "
                         "whether an AC-supply is connected!\nIs the AC-supply connected? [y/N] "
                         "n\nError!: You must have an AC-supply connected to the OTDR!"),
            std::string::npos)
      << run.err;
  ASSERT_TRUE(state.valid);
  EXPECT_FALSE(SawCommand(state, "erase"));
  EXPECT_FALSE(SawCommand(state, "pf"));
}

// The way back from an interrupted firmware transfer: the monitor waits at
// the run's speed, the next run finds it there, rewrites what differs and
// leaves the instrument valid, with no power cycle between.
TEST_F(UpdateAgainstSim, AfterAnInterruptTheNextRunAtSpeedEndsValidWithoutAPowerCycle) {
  SimProcess sim({}, kTestTimeScale);
  const Strings args{"--home", FullHome(), "-b", "115200", "-y", "--port", sim.port()};
  Disturbance interrupt;
  interrupt.signal_number = SIGINT;
  interrupt.signal_after = "Downloading:";
  const std::string log = MakeTempFolder("interrupted-log") + "/run.log";
  Strings logged = args;
  logged.insert(logged.end(), {"--log", log});
  const ToolResult first = RunDisturbedTool(logged, std::to_string(kTestTimeScale), interrupt);
  EXPECT_EQ(first.status, 130);
  std::ifstream record(log);
  const std::string recorded((std::istreambuf_iterator<char>(record)), {});
  EXPECT_NE(recorded.find("Z r7700-update: next: it waits in its boot monitor"), std::string::npos)
      << recorded;
  EXPECT_NE(recorded.find("Z verdict: interrupted, exit 130, "), std::string::npos) << recorded;
  EXPECT_NE(first.err.find("r7700-update: interrupted; the instrument now holds: firmware not "
                           "valid ("),
            std::string::npos)
      << first.err;
  EXPECT_NE(first.err.find("languages untouched (as before this run)\nr7700-update: next: it "
                           "waits in its boot monitor at 115200 baud: run the same command again "
                           "(no power cycle needed), with --skip-unchanged"),
            std::string::npos)
      << first.err;

  Strings again = args;
  again.push_back("--skip-unchanged");
  const ToolResult second = RunTool(again, "", std::to_string(kTestTimeScale));
  const SimState state = ParseSimState(sim.Stop());
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_NE(second.out.find("Boot monitor found at 115200 baud, where an earlier run left it\n"),
            std::string::npos)
      << second.out;
  ASSERT_TRUE(state.valid);
  EXPECT_TRUE(state.rebooted && state.firmware_valid && state.languages_valid);
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
            "time)\nERROR: Cannot find the INI file veskotdr.ini !\nError nr.: 100\n"
            "r7700-update: neither product.ini nor veskotdr.ini in " +
                BareHome() + "/ (the --home folder)\n");
}

}  // namespace
}  // namespace r7700::cli
