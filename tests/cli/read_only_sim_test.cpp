// --info and --verify against r7700-sim over a pty: what they report, their
// exit status, and the proof that they are read-only: every command the
// instrument received is one of the read-only ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/processes.h"
#include "tests/cli/sample_homes.h"
#include "tests/cli/sim_state.h"

namespace r7700::cli {
namespace {

using Strings = std::vector<std::string>;

// Commands that read and never write: identification, power, wake-up, the
// nudge, speed, version, dump, checksum, reboot.
bool IsReadOnly(const std::string& command) {
  constexpr std::array<const char*, 6> kExact{"*idn?", "stat:pow:acdc?", "S27413:B5D08A9C3E1", "",
                                              "ver",   "reboot"};
  constexpr std::array<const char*, 3> kPrefixes{"baud ", "dm ", "crc "};
  return std::find(kExact.begin(), kExact.end(), command) != kExact.end() ||
         std::any_of(kPrefixes.begin(), kPrefixes.end(),
                     [&](const char* prefix) { return command.starts_with(prefix); });
}

void ExpectReadOnly(const SimState& state) {
  ASSERT_TRUE(state.valid);
  for (const std::string& command : state.commands) EXPECT_TRUE(IsReadOnly(command)) << command;
  EXPECT_TRUE(SawCommand(state, "reboot"));
  EXPECT_FALSE(state.firmware_valid);
  EXPECT_FALSE(state.languages_valid);
}

ToolResult RunAgainst(const SimProcess& sim, Strings args) {
  args.insert(args.end(), {"--home", FullHome(), "--port", sim.port()});
  return RunTool(args, "", std::to_string(kTestTimeScale));
}

TEST(ReadOnlyModes, InfoReportsTheInstrumentAndWritesNothing) {
  ASSERT_FALSE(FullHome().empty());
  SimProcess sim({}, kTestTimeScale);
  const ToolResult run = RunAgainst(sim, {"--info", "--baud", "115200"});
  const SimState state = ParseSimState(sim.Stop());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "port        " + sim.port() +
                         "\n"
                         "identity    VQ R7700C Reflectometer, firmware 4.20\n"
                         "series      C\n"
                         "power       AC\n"
                         "monitor     Ver 4.20 C R7700C boot monitor\n"
                         "boots from  flash\n"
                         "firmware    marker FF FF FF FF: not valid (no \"JS\")\n"
                         "languages   marker FF FF FF FF: not valid (no \"JS\")\n"
                         "installed   none valid (the area's marker is not)\n");
  EXPECT_NE(run.err.find("Change baudrate\n"), std::string::npos) << run.err;
  ExpectReadOnly(state);
  EXPECT_TRUE(SawCommand(state, "crc 3c00000 3efffc"));
  EXPECT_TRUE(SawCommand(state, "crc 3b00004 ffffc"));
  EXPECT_TRUE(SawCommand(state, "dm 3b000d4"));  // the directory's last row
}

// Reading writes nothing: an instrument on battery is read too, and an A
// series is named as such.
TEST(ReadOnlyModes, InfoReadsAnInstrumentOnBatteryAndNamesAnASeries) {
  SimProcess battery({"--power", "battery"}, kTestTimeScale);
  SimProcess series_a({"--series", "A"}, kTestTimeScale);
  const ToolResult on_battery = RunAgainst(battery, {"--info"});
  const ToolResult old_series = RunAgainst(series_a, {"--info"});
  ExpectReadOnly(ParseSimState(battery.Stop()));
  ExpectReadOnly(ParseSimState(series_a.Stop()));
  EXPECT_EQ(on_battery.status, 0) << on_battery.err;
  EXPECT_NE(on_battery.out.find("\npower       BAT\n"), std::string::npos) << on_battery.out;
  EXPECT_EQ(old_series.status, 0) << old_series.err;
  EXPECT_NE(old_series.out.find("\nseries      A (not supported by this tool)\n"),
            std::string::npos)
      << old_series.out;
}

TEST(ReadOnlyModes, InfoJsonIsOneRecordFromTheRamCardCopy) {
  SimProcess sim({"--in-monitor", "--boot-from", "ramcard"}, kTestTimeScale);
  const ToolResult run = RunAgainst(sim, {"--info", "--json", "--boot-from", "ramcard"});
  const SimState state = ParseSimState(sim.Stop());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
  EXPECT_TRUE(run.out.starts_with("{\"t\": ")) << run.out;
  for (const char* field :
       {"\"event\": \"result\", \"port\": \"", "\"exit\": 0, \"outcome\": \"success\"",
        "\"identity\": \"R7700 Monitor 4.20\", \"series\": \"C\", \"power\": \"\"",
        "\"monitor_version\": \"Ver 4.20 C R7700C boot monitor\", \"boot_from\": \"ramcard\"",
        "\"firmware\": {\"marker\": \"FF FF FF FF\", \"valid\": false, \"stored_checksum\": "
        "\"FFFF\", \"computed_checksum\": \"",
        "\"installed\": []}\n"}) {
    EXPECT_NE(run.out.find(field), std::string::npos) << field << "\n" << run.out;
  }
  ExpectReadOnly(state);
  EXPECT_TRUE(SawCommand(state, "crc 2400000 3efffc"));
  EXPECT_TRUE(SawCommand(state, "dm 2300000"));
}

// --info on two ports reads each in turn: one report and one record each.
TEST(ReadOnlyModes, InfoOnSeveralPortsReadsEachInTurn) {
  SimProcess first({}, kTestTimeScale);
  SimProcess second({"--power", "battery"}, kTestTimeScale);
  const ToolResult run =
      RunTool({"--home", FullHome(), "--info", "--json", "-p", first.port(), "-p", second.port()},
              "", std::to_string(kTestTimeScale));
  ExpectReadOnly(ParseSimState(first.Stop()));
  ExpectReadOnly(ParseSimState(second.Stop()));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << run.out;
  for (const SimProcess* sim : {&first, &second}) {
    EXPECT_NE(
        run.out.find("\"port\": \"" + sim->port() + "\", \"exit\": 0, \"outcome\": \"success\""),
        std::string::npos)
        << run.out;
  }
  EXPECT_NE(run.out.find("\"power\": \"BAT\""), std::string::npos) << run.out;
}

// --list-ports --json: one result record with the ports this machine has.
TEST(ReadOnlyModes, ListPortsWithJsonIsOneRecord) {
  const ToolResult run = RunTool({"--list-ports", "--json"}, "", "1");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::regex_match(
      run.out,
      std::regex(R"re(\{"t": [0-9.]+, "event": "result", "exit": 0, "outcome": )re"
                 R"re("success", "duration": [0-9.]+, "ports": \[.*\](, "note": ".+")?\}\n)re")))
      << run.out;
}

TEST(ReadOnlyModes, VerifyOfAnEmptyInstrumentExitsFourAndWritesNothing) {
  SimProcess sim({}, kTestTimeScale);
  const ToolResult run = RunAgainst(sim, {"--verify", "--boot-sector", "--lang", "English"});
  const SimState state = ParseSimState(sim.Stop());
  EXPECT_EQ(run.status, 4) << run.err;
  EXPECT_TRUE(
      run.out.starts_with("firmware marker       differs instrument FF FF FF FF, update "
                          "4A 53 "))
      << run.out;
  EXPECT_NE(run.out.find("\nlanguage directory    differs instrument none, update English\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\nboot sector checksum  "), std::string::npos) << run.out;
  ExpectReadOnly(state);
  EXPECT_TRUE(SawCommand(state, "crc 3ff0000 10001"));
}

TEST(ReadOnlyModes, VerifyJsonEndsWithItsExitAndAFailedConnectionSaysWhy) {
  SimProcess sim({"--power", "battery"}, kTestTimeScale);
  const ToolResult run = RunAgainst(sim, {"--verify", "--json", "--no-firmware"});
  const SimState state = ParseSimState(sim.Stop());
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
  EXPECT_NE(run.out.find("\"exit\": 2, \"outcome\": \"failed\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"error\": \"You must have an AC-supply connected to the OTDR!"),
            std::string::npos)
      << run.out;
  ASSERT_TRUE(state.valid);
  for (const std::string& command : state.commands) EXPECT_TRUE(IsReadOnly(command)) << command;
}

// What is not known is neither the same nor different.
TEST(ReadOnlyModes, AnUnansweredChecksumIsAFailureNotAReport) {
  SimProcess sim({"--prompt-for-checksum", "9"}, kTestTimeScale);
  const ToolResult run = RunAgainst(sim, {"--verify", "--json", "--no-firmware"});
  const SimState state = ParseSimState(sim.Stop());
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.out.find("\"exit\": 2, \"outcome\": \"failed\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("{\"item\": \"language checksum\", \"same\": false, \"instrument\": "
                         "\"none\""),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("r7700-update: the instrument did not answer every query; what it holds "
                         "is not known\n"),
            std::string::npos)
      << run.err;
  ExpectReadOnly(state);
}

// The simulator keeps its flash in a file between runs, as the instrument
// keeps it through a power cycle.
TEST(ReadOnlyModes, VerifyRightAfterAnUpdateIsExitZero) {
  const std::string flash = MakeTempFolder("r7700-verify-flash") + "/flash.bin";
  const Strings choice{"--no-firmware", "--lang", "English", "--lang", "Espanol"};
  {
    SimProcess sim({"--flash", flash}, kTestTimeScale);
    Strings update = choice;
    update.push_back("--yes");
    ASSERT_EQ(RunAgainst(sim, update).status, 0);
    sim.Stop();
  }
  SimProcess sim({"--flash", flash}, kTestTimeScale);
  Strings verify = choice;
  verify.push_back("--verify");
  const ToolResult run = RunAgainst(sim, verify);
  const SimState state = ParseSimState(sim.Stop());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("differs"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("language directory    same    instrument English, Espanol, update "
                         "English, Espanol\n"),
            std::string::npos)
      << run.out;
  ASSERT_TRUE(state.valid);
  for (const std::string& command : state.commands) EXPECT_TRUE(IsReadOnly(command)) << command;
  EXPECT_TRUE(state.languages_valid);
}

}  // namespace
}  // namespace r7700::cli
