// Connection establishment against the simulated instrument, and against
// scripted replies where the simulator has no such fault.
#include "dialogue/connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogue/loader_verification.h"
#include "link/forwarding_connection.h"
#include "link/text_format.h"
#include "tests/dialogue/scripted_line.h"
#include "tests/dialogue/sim_rig.h"

namespace r7700 {
namespace {

constexpr char kWakeUp[] = "S27413:B5D08A9C3E1";
constexpr char kCyclePower[] =
    "The connection to the OTDR is not reliable!\nPlease check the cable / reduce the baudrate "
    "and cycle power!";

std::vector<std::string> Repeat(const std::string& line, int times) {
  return std::vector<std::string>(static_cast<size_t>(times), line);
}

// What a working monitor hears once it is in charge at 19200 baud: the
// speed change with its two nudges, then the loader checks.
std::vector<std::string> MonitorCommands(int32_t baud) {
  std::vector<std::string> lines = {"baud " + std::to_string(baud),
                                    "",
                                    "",
                                    "ver",
                                    "enh",
                                    "sec_enh",
                                    "ramload",
                                    "crc 840000 2800"};
  for (int row = 0; row < 6; ++row) lines.push_back(Format("dm %x", 0x840000 + 16 * row));
  return lines;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The whole wire from the PC: command lines, and behind "ramload" the one
// LoadBlock of the test pattern and the EndBlock.
std::string ExpectedWire(const std::vector<std::string>& commands) {
  TestPattern pattern;
  pattern.Fill();
  std::string wire;
  for (const std::string& line : commands) {
    wire += line + "\n";
    if (line != "ramload") continue;
    wire += std::string("\x4A\0\0\x28\0\0\x84\0\0", 9);
    wire.append(pattern.bytes.begin(), pattern.bytes.end());
    wire += std::string("\x4A\0\0\0\0", 5);
  }
  return wire;
}

void ExpectOneBox(DialogueRig& rig, const std::string& text) {
  ASSERT_EQ(rig.window.boxes().size(), 1u);
  EXPECT_EQ(rig.window.boxes()[0].text, text);
  EXPECT_EQ(rig.window.boxes()[0].caption, "Error!");
  EXPECT_EQ(rig.window.boxes()[0].icon, BoxIcon::kError);
}

class SpeedTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(SpeedTest, ApplicationHandsOverAndTheLoaderChecksPass) {
  const int32_t baud = GetParam();
  DialogueRig rig;
  EXPECT_EQ(EstablishConnection(rig.run, rig.port.get(), baud), kConnected);

  const std::vector<std::string> commands =
      Join(Join(Repeat("*idn?", 3), Repeat("stat:pow:acdc?", 4)),
           Join({kWakeUp}, MonitorCommands(baud)));
  EXPECT_EQ(rig.instrument.commands(), commands);
  EXPECT_EQ(rig.Sent(), ExpectedWire(commands));
  EXPECT_EQ(rig.Log(),
            "Initializing connection ...\r\nConnecting to target\r\nChange baudrate\r\n"
            "Check download...\r\nChecks done!\r\n");
  EXPECT_TRUE(rig.window.boxes().empty());
  EXPECT_EQ(rig.backend.pc_baud(), baud);
  EXPECT_EQ(rig.instrument.baud(), baud);
  TestPattern pattern;
  pattern.Fill();
  EXPECT_EQ(rig.instrument.Read(kTestLoadAddress, kTestPatternBytes),
            std::vector<uint8_t>(pattern.bytes.begin(), pattern.bytes.end()));
  EXPECT_EQ(rig.window.GetText(IDC_PROGRESS_CAPTION), "Checking Step2 ...");
  EXPECT_EQ(rig.window.GetText(IDC_COUNTER), "6 = 100%");
}

INSTANTIATE_TEST_SUITE_P(BaudList, SpeedTest, ::testing::Values(9600, 19200, 38400, 57600, 115200));

TEST(Connection, RunningMonitorNeedsNoPowerCheckAndNoWakeUp) {
  sim::InstrumentConfig config;
  config.in_monitor = true;
  DialogueRig rig(config);
  EXPECT_EQ(EstablishConnection(rig.run, rig.port.get(), 57600), kConnected);
  const std::vector<std::string> commands = Join({"*idn?"}, MonitorCommands(57600));
  EXPECT_EQ(rig.instrument.commands(), commands);
  EXPECT_EQ(rig.Sent(), ExpectedWire(commands));
  EXPECT_EQ(rig.Log(),
            "Initializing connection ...\r\nChange baudrate\r\nCheck download...\r\nChecks "
            "done!\r\n");
}

TEST(Connection, ChargerCountsAsMainsAndAStaleEndLineIsSkipped) {
  sim::InstrumentConfig config;
  config.power = sim::Power::kCharging;
  config.faults.stale_end_line = true;
  DialogueRig rig(config);
  EXPECT_EQ(EstablishConnection(rig.run, rig.port.get(), 19200), kConnected);
  EXPECT_EQ(rig.instrument.commands(), Join(Join(Repeat("*idn?", 3), Repeat("stat:pow:acdc?", 4)),
                                            Join({kWakeUp}, MonitorCommands(19200))));
}

TEST(Connection, BatteryPowerStopsBeforeTheWakeUp) {
  sim::InstrumentConfig config;
  config.power = sim::Power::kBattery;
  DialogueRig rig(config);
  EXPECT_EQ(EstablishConnection(rig.run, rig.port.get(), 115200), kConnectionFailed);
  ExpectOneBox(rig,
               "You must have an AC-supply connected to the OTDR!\nPlease connect AC and press "
               "Start again!");
  EXPECT_EQ(rig.Sent(), ExpectedWire(Join(Repeat("*idn?", 3), Repeat("stat:pow:acdc?", 6))));
  EXPECT_EQ(rig.Log(), "Initializing connection ...\r\n");
}

// Passes everything through but never changes the PC end's speed: the
// monitor moves to the new speed alone.
class StuckSpeed : public ForwardingConnection {
 public:
  explicit StuckSpeed(SerialConnection& inner) : ForwardingConnection(inner) {}
  LineResult SetBaud(int32_t) override { return {}; }
};

TEST(Connection, NoPromptAtTheNewSpeed) {
  DialogueRig rig;
  StuckSpeed stuck(*rig.port);
  EXPECT_EQ(EstablishConnection(rig.run, &stuck, 115200), kConnectionFailed);
  ExpectOneBox(rig, kCyclePower);
  EXPECT_EQ(rig.backend.pc_baud(), 19200);
  EXPECT_EQ(rig.instrument.baud(), 115200);
  const std::string sent = rig.Sent();
  EXPECT_TRUE(sent.ends_with("baud 115200\n\n\n\n\n\n\n")) << sent.substr(sent.size() - 20);
  EXPECT_EQ(rig.Log(),
            "Initializing connection ...\r\nConnecting to target\r\nChange baudrate\r\n");
}

TEST(Connection, SeriesAIsRefusedBeforeTheEnhancements) {
  sim::InstrumentConfig config;
  config.series = 'A';
  DialogueRig rig(config);
  EXPECT_EQ(EstablishConnection(rig.run, rig.port.get(), 19200), kConnectionFailed);
  ExpectOneBox(rig,
               "This program can update R7700B/C Series Vesk-OTDR's only !\n\nTo update the "
               "connected R7700A Vesk-OTDR please use the appropriate version of the update "
               "program (version 3.0)");
  const std::vector<std::string>& commands = rig.instrument.commands();
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.back(), "ver");
  EXPECT_EQ(Occurrences(rig.Sent(), "enh\n"), 0);
}

TEST(Connection, SilentLineIsNotIdentifiedAndShowsNoBox) {
  sim::InstrumentConfig config;
  config.faults.silent = true;
  DialogueRig rig(config);
  EXPECT_EQ(EstablishConnection(rig.run, rig.port.get(), 19200), kNotIdentified);
  EXPECT_TRUE(rig.window.boxes().empty());
  EXPECT_EQ(rig.Sent(), ExpectedWire(Repeat("*idn?", 6)));
  EXPECT_EQ(rig.Log(), "Initializing connection ...\r\n");
}

class ScriptedConnection : public ::testing::Test {
 protected:
  VirtualClock clock_;
  MemoryWindow window_;
  RunContext run_{window_, clock_, {}, {}, {}, {}};
  ScriptedLine line_{clock_};
};

TEST_F(ScriptedConnection, UnrecognisedTextGetsASecondIdentification) {
  // An R77 that does not call itself a reflectometer.
  line_.respond = [](const std::string&) { return std::string("VQ R7700C OTDR\r\n<END>\r\n"); };
  EXPECT_EQ(EstablishConnection(run_, &line_, 19200), kNotIdentified);
  EXPECT_EQ(line_.sent(), ExpectedWire(Repeat("*idn?", 12)));
  EXPECT_EQ(window_.GetText(IDC_STATUS_LOG), "Initializing connection ...\r\n2nd try...\r\n");
  EXPECT_TRUE(window_.boxes().empty());
}

TEST_F(ScriptedConnection, NoMonitorPromptAfterTheWakeUp) {
  // The application answers its queries but ignores the wake-up line.
  line_.respond = [](const std::string& text) {
    if (text == "*idn?") return std::string("VQ R7700C Reflectometer\r\n<END>\r\n");
    return text == "stat:pow:acdc?" ? std::string("AC<END>\r\n") : std::string();
  };
  EXPECT_EQ(EstablishConnection(run_, &line_, 38400), kConnectionFailed);
  ASSERT_EQ(window_.boxes().size(), 1u);
  EXPECT_EQ(window_.boxes()[0].text,
            "The connection to the OTDR is not reliable!\nPlease check the cable / reduce the "
            "baudrate!");
  EXPECT_EQ(line_.sent(), ExpectedWire(Join(Join(Repeat("*idn?", 3), Repeat("stat:pow:acdc?", 4)),
                                            Repeat(kWakeUp, 6))));
  EXPECT_EQ(window_.GetText(IDC_STATUS_LOG),
            "Initializing connection ...\r\nConnecting to target\r\n");
}

TEST_F(ScriptedConnection, ApplicationAnswersToTheFirstTwoQueriesArePassedOver) {
  int queries = 0;
  line_.respond = [&](const std::string&) {
    return ++queries <= 2 ? std::string("VQ R7700C Reflectometer\r\n<END>\r\n")
                          : std::string("ERROR<END>\r\n");
  };
  EXPECT_EQ(IdentifyInstrument(run_, &line_), IdentifyResult::kIdUnrecognised);
  EXPECT_EQ(queries, 6);
}

TEST_F(ScriptedConnection, MonitorAnswerCountsFromTheFirstQuery) {
  line_.respond = [](const std::string&) { return std::string("R7700 Monitor\r\nR7700>\r\n"); };
  EXPECT_EQ(IdentifyInstrument(run_, &line_), IdentifyResult::kIdMonitor);
  EXPECT_EQ(line_.sent(), "*idn?\n");
}

TEST_F(ScriptedConnection, EarlyPromptsAfterTheSpeedChangeArePassedOver) {
  // Two prompts for every nudge: the two read at counts 1 and 2 are passed
  // over, the silence behind them brings a second nudge, whose first prompt
  // is taken.
  line_.respond = [](const std::string& text) {
    return text.starts_with("baud") ? std::string() : std::string("R7700>\r\nR7700>\r\n");
  };
  EXPECT_EQ(SetMonitorBaud(run_, &line_, 19200), kSpeedChanged);
  EXPECT_EQ(line_.sent(), "baud 19200\n\n\n");
  EXPECT_EQ(line_.baud(), 19200);
}

}  // namespace
}  // namespace r7700
