// The application and the boot monitor as the PC end sees them.
#include "sim/instrument.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/sim/sim_test_rig.h"

namespace r7700::test {
namespace {

TEST(SimApplication, IdentifiesItselfAndReportsPower) {
  for (auto [power, answer] : {std::pair{sim::Power::kAc, "AC<END>\r\n"},
                               std::pair{sim::Power::kCharging, "CHAR<END>\r\n"},
                               std::pair{sim::Power::kBattery, "BAT<END>\r\n"}}) {
    sim::InstrumentConfig config;
    config.power = power;
    config.series = 'B';
    SimRig rig(config);
    EXPECT_EQ(rig.Ask("*idn?\n", "<END>\r\n"),
              "VQ R7700B Reflectometer, firmware 4.20\r\n<END>\r\n");
    EXPECT_EQ(rig.Ask("stat:pow:acdc?\n", "\r\n"), answer);
    EXPECT_EQ(rig.Ask("bogus\n", "\r\n"), "ERROR<END>\r\n");
    EXPECT_EQ(rig.Ask("\n", "\r\n"), "");  // an empty line is no query
  }
}

TEST(SimApplication, WakeUpLineHandsOverToTheMonitor) {
  SimRig rig;
  rig.Send("S27413:B5D08A9C3E1\n");
  rig.Send("ver\n");  // lost: the monitor is still starting
  const int64_t sent_us = rig.clock.NowMicros();
  EXPECT_EQ(rig.ReadUntil(kPrompt), "Boot monitor 4.20\r\nR7700>\r\n");
  EXPECT_GT(rig.clock.NowMicros() - sent_us, 1000000);
  EXPECT_EQ(rig.ReadFor(1000), "");
  EXPECT_EQ(rig.Ask("\n"), kPrompt);
  EXPECT_EQ(rig.instrument.commands(), (std::vector<std::string>{"S27413:B5D08A9C3E1", ""}));
}

TEST(SimMonitor, AnswersWithoutEchoAndAlwaysEndsWithThePrompt) {
  SimRig rig(InMonitor());
  EXPECT_EQ(rig.Ask("*idn?\n"), "R7700 Monitor 4.20\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("\n"), kPrompt);
  EXPECT_EQ(rig.Ask("enh\n"), kPrompt);
  EXPECT_EQ(rig.Ask("sec_enh\n"), kPrompt);
  EXPECT_EQ(rig.Ask("format c:\n"), "Error: unknown command\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("crc 840000\n"), "Error: bad arguments\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("dm 84000g\n"), "Error: bad arguments\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask(std::string(300, 'x') + "\n"), "Error: line too long\r\nR7700>\r\n");
}

TEST(SimMonitor, TakesOnlyTheToolsExactFormsUnlessLenient) {
  struct Case {
    std::string line;
    std::string strict_error;
  };
  const Case cases[] = {
      {"ver\r\n", "Error: unknown command"},       {" ver\n", "Error: unknown command"},
      {"ver \n", "Error: bad arguments"},          {"dm  840000\n", "Error: bad arguments"},
      {"dm 84000A\n", "Error: bad arguments"},     {"dm 0840000\n", "Error: bad arguments"},
      {"pf 3b00000 00\n", "Error: bad arguments"}, {"dm 840000\r\n", "Error: bad arguments"},
      {"baud 019200\n", "Error: bad arguments"},
  };
  for (const Case& c : cases) {
    SimRig strict(InMonitor());
    EXPECT_EQ(strict.Ask(c.line), c.strict_error + "\r\n" + std::string(kPrompt)) << c.line;
    EXPECT_EQ(strict.instrument.Peek(0x3B00000), 0xFF);
    sim::InstrumentConfig config = InMonitor();
    config.lenient = true;
    SimRig lenient(config);
    const std::string reply = lenient.Ask(c.line, c.line.starts_with("baud") ? "\r\n" : kPrompt);
    EXPECT_FALSE(reply.starts_with("Error")) << c.line << reply;
  }
  SimRig application;
  EXPECT_EQ(application.Ask("*idn?\r\n", "\r\n"), "ERROR<END>\r\n");
}

TEST(SimMonitor, VersionLineCarriesTheSeriesAtIndexNine) {
  for (char series : {'A', 'B', 'C'}) {
    sim::InstrumentConfig config = InMonitor();
    config.series = series;
    SimRig rig(config);
    const std::string reply = rig.Ask("ver\n");
    const std::string line = reply.substr(0, reply.find("\r\n"));
    ASSERT_GT(line.size(), 9u);
    EXPECT_FALSE(line.starts_with("R7700"));
    if (series == 'A') {
      EXPECT_GT(line[9], 'C') << line;
    } else {
      EXPECT_EQ(line[9], series) << line;
    }
    EXPECT_TRUE(reply.ends_with(kPrompt));
  }
}

TEST(SimMonitor, BaudChangesTheSpeedAfterItsReply) {
  SimRig rig(InMonitor());
  EXPECT_EQ(rig.Ask("baud 115200\n", "\r\n"), "Baud rate 115200\r\n");
  // The prompt that follows comes at the new speed: garbage at 19200.
  const std::string garbage = rig.ReadFor(200);
  EXPECT_EQ(garbage.size(), kPrompt.size());
  for (char c : garbage) EXPECT_GE(static_cast<uint8_t>(c), 0x80);
  EXPECT_EQ(rig.instrument.baud(), 115200);
  ASSERT_TRUE(SetPortBaud(rig.port.get(), 115200).ok);
  EXPECT_EQ(rig.Ask("\n"), kPrompt);
  EXPECT_EQ(rig.Ask("baud 12345\n"), "Error: unsupported baud rate\r\nR7700>\r\n");
  EXPECT_EQ(rig.instrument.baud(), 115200);
  EXPECT_EQ(rig.Ask("baud 19200\n", "\r\n"), "Baud rate 19200\r\n");
  ASSERT_TRUE(SetPortBaud(rig.port.get(), 19200).ok);
  EXPECT_EQ(rig.Ask("\n"), kPrompt);
}

TEST(SimMonitor, RebootPrintsOneLineThenStaysSilent) {
  SimRig rig(InMonitor());
  EXPECT_EQ(rig.Ask("reboot\n", "\r\n"), "Rebooting ...\r\n");
  EXPECT_EQ(rig.Ask("\n"), "");
  EXPECT_TRUE(rig.instrument.MakeReport().rebooted);
}

}  // namespace
}  // namespace r7700::test
