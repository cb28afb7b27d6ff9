// Each fault option, seen from the PC end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/instrument.h"
#include "tests/sim/sim_test_rig.h"

namespace r7700::test {
namespace {

const std::vector<uint8_t> kBlock{0x01, 0x02, 0x04, 0x08};  // XOR 0x0F

TEST(SimFaults, SilentNeverAnswers) {
  sim::InstrumentConfig config;
  config.faults.silent = true;
  SimRig rig(config);
  EXPECT_EQ(rig.Ask("*idn?\n", "\r\n"), "");
  rig.Send("S27413:B5D08A9C3E1\n");
  EXPECT_EQ(rig.ReadFor(5000), "");
  EXPECT_TRUE(rig.backend.received().empty());
}

TEST(SimFaults, StaleEndLineComesBeforeTheFirstIdentificationOnly) {
  sim::InstrumentConfig config;
  config.faults.stale_end_line = true;
  SimRig rig(config);
  EXPECT_EQ(rig.Ask("*idn?\n", "ware 4.20\r\n<END>\r\n"),
            "<END>\r\nVQ R7700C Reflectometer, firmware 4.20\r\n<END>\r\n");
  EXPECT_EQ(rig.Ask("*idn?\n", "<END>\r\n"), "VQ R7700C Reflectometer, firmware 4.20\r\n<END>\r\n");
}

TEST(SimFaults, PromptInsteadOfBannerAndOfChecksum) {
  sim::Faults faults;
  faults.prompt_instead_of_banner = 2;
  faults.prompt_instead_of_checksum = 1;
  SimRig rig(InMonitor(faults));
  EXPECT_EQ(rig.Ask("ramload\n"), kPrompt);
  EXPECT_EQ(rig.Ask("flashload\n"), kPrompt);
  EXPECT_EQ(rig.Ask("ramload\n", "\r\n"), "VQ Downloader 2.1 (RAM)\r\n");
  rig.Ask(kEndBlock);
  EXPECT_EQ(rig.Ask("crc 840000 2\n"), kPrompt);
  EXPECT_EQ(rig.Ask("crc 840000 2\n"), "4040\r\nR7700>\r\n");
}

TEST(SimFaults, NoAckStillProgramsTheBlock) {
  sim::Faults faults;
  faults.no_ack = true;
  SimRig rig(InMonitor(faults));
  EXPECT_EQ(rig.Load(false, 0x840000, kBlock), "");
  EXPECT_EQ(rig.instrument.Read(0x840000, 4), kBlock);
}

TEST(SimFaults, WrongAckOnTheChosenBlockOnly) {
  sim::Faults faults;
  faults.wrong_ack_on_block = 1;
  SimRig rig(InMonitor(faults));
  EXPECT_EQ(rig.Load(false, 0x840000, kBlock), "\x0F");
  EXPECT_EQ(rig.Load(true, 0x3B00000, kBlock), "\xF0");
  EXPECT_EQ(rig.Load(true, 0x3B00004, kBlock), "\x0F");
}

TEST(SimFaults, WrongChecksum) {
  sim::Faults faults;
  faults.wrong_checksum = true;
  SimRig rig(InMonitor(faults));
  rig.Load(false, 0x840000, TestPattern(10240));
  const std::string reply = rig.Ask("crc 840000 2800\n");
  EXPECT_TRUE(reply.ends_with(kPrompt));
  EXPECT_EQ(reply.size(), 6 + kPrompt.size());
  EXPECT_NE(reply, "C0F9\r\nR7700>\r\n");
}

TEST(SimFaults, SlowEraseOverrunsTheToolsWait) {
  sim::Faults faults;
  faults.erase_extra_ms = 5000;
  SimRig rig(InMonitor(faults));
  rig.Send("erase 3c00000 3f0000 10000\n");
  EXPECT_EQ(rig.ReadFor(48200), "");
  EXPECT_EQ(rig.ReadUntil(kPrompt, 6000), kPrompt);
  rig.Send("erase 3b00000 100000 10000\n");
  EXPECT_EQ(rig.ReadFor(16200), "");
  EXPECT_EQ(rig.ReadUntil(kPrompt, 6000), kPrompt);
}

TEST(SimFaults, NoiseCorruptsEveryNthByte) {
  sim::Faults faults;
  faults.noise_every_n_bytes = 5;
  SimRig rig(InMonitor(faults));
  EXPECT_EQ(rig.Ask("enh\n"), kPrompt);  // bytes 1 to 4
  // Byte 5, the nudge, turns into 0x0B and joins the next command.
  EXPECT_EQ(rig.Ask("\nver\n"), "Error: unknown command\r\nR7700>\r\n");
  EXPECT_EQ(rig.instrument.commands().back(), "\x0Bver");
}

TEST(SimFaults, UnplugStopsTheLineAfterNBytes) {
  sim::Faults faults;
  faults.unplug_after_bytes = 8;
  SimRig rig(InMonitor(faults));
  EXPECT_EQ(rig.Ask("enh\n"), kPrompt);
  rig.Send("sec_enh\n");  // its LF is byte 12: never heard
  EXPECT_EQ(rig.ReadFor(2000), "");
  EXPECT_EQ(rig.instrument.commands(), (std::vector<std::string>{"enh"}));
}

TEST(SimFaults, GarbledCommandIsTakenAsAnotherLine) {
  sim::Faults faults;
  faults.garbled_commands = {{"pf 3fefffc 4a", "pf 2fefffc 4a"}};
  SimRig rig(InMonitor(faults));
  EXPECT_EQ(rig.Ask("pf 3fefffc 4a\n"), "Error: bad address range\r\nR7700>\r\n");
  EXPECT_EQ(rig.instrument.Peek(0x3FEFFFC), 0xFF);
  EXPECT_EQ(rig.instrument.commands(), (std::vector<std::string>{"pf 2fefffc 4a"}));
}

TEST(SimFaults, GarbledByteIsStoredAndAcknowledgedAsReceived) {
  sim::Faults faults;
  faults.garbled_byte_address = 0x3B00002;
  SimRig rig(InMonitor(faults));
  EXPECT_EQ(rig.Load(true, 0x3B00000, kBlock), "\x0E");
  EXPECT_EQ(rig.instrument.Read(0x3B00000, 4), (std::vector<uint8_t>{0x01, 0x02, 0x05, 0x08}));
}

}  // namespace
}  // namespace r7700::test
