// Each fault option, seen from the PC end.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
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

int BitsApart(const std::string& a, const std::string& b) {
  int bits = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    bits += std::popcount(static_cast<unsigned>(static_cast<uint8_t>(a[i] ^ b[i])));
  }
  return bits;
}

// 65000 bytes through the downloader into RAM, under noise towards the
// instrument; returns what RAM holds.
std::string LoadThroughNoise(uint64_t seed, double bit_error_rate) {
  sim::Faults faults;
  faults.line_noise.seed = seed;
  faults.line_noise.to_instrument.bit_error_rate = bit_error_rate;
  SimRig rig(InMonitor(faults));
  const std::vector<uint8_t> pattern = TestPattern(65000);
  const std::string ack = rig.Load(false, 0x840000, pattern);
  const std::vector<uint8_t> held = rig.instrument.Read(0x840000, 65000);
  uint8_t held_xor = 0;
  for (uint8_t byte : held) held_xor ^= byte;
  EXPECT_EQ(ack, std::string(1, static_cast<char>(held_xor)));
  EXPECT_EQ(
      BitsApart(std::string(held.begin(), held.end()), std::string(pattern.begin(), pattern.end())),
      rig.instrument.noise_counts(sim::Direction::kToInstrument).bits_flipped);
  return std::string(held.begin(), held.end());
}

TEST(SimFaults, BitErrorsTowardsTheInstrumentAtTheirRateAndSeed) {
  const std::string clean = LoadThroughNoise(1, 0);
  const std::string noisy = LoadThroughNoise(1, 1e-4);
  const int flipped = BitsApart(clean, noisy);
  EXPECT_GT(flipped, 52 - 30);  // 520000 bits: about 52, four standard deviations either way
  EXPECT_LT(flipped, 52 + 30);
  EXPECT_EQ(LoadThroughNoise(1, 1e-4), noisy);
  EXPECT_NE(LoadThroughNoise(2, 1e-4), noisy);
}

TEST(SimFaults, DropsAndDuplicatesTowardsTheInstrument) {
  sim::Faults faults;
  faults.line_noise.to_instrument.drop_rate = 1;
  SimRig deaf(InMonitor(faults));
  EXPECT_EQ(deaf.Ask("enh\n"), "");
  EXPECT_TRUE(deaf.instrument.commands().empty());
  faults.line_noise.to_instrument = {.duplicate_rate = 1};
  SimRig stutter(InMonitor(faults));
  EXPECT_EQ(stutter.Ask("enh\n", "\r\nR7700>\r\n"), "Error: unknown command\r\nR7700>\r\n");
  EXPECT_EQ(stutter.instrument.commands(), (std::vector<std::string>{"eennhh", ""}));
}

// 1000 dump rows of RAM, each with its prompt, as the PC receives them.
std::string DumpThroughNoise(const sim::NoiseRates& to_pc, uint64_t seed,
                             sim::NoiseCounts* counts) {
  sim::Faults faults;
  faults.line_noise.seed = seed;
  faults.line_noise.to_pc = to_pc;
  SimRig rig(InMonitor(faults));
  std::string received;
  for (int row = 0; row < 1000; ++row) {
    rig.Send("dm 840000\n");
    received += rig.ReadFor(100);
  }
  *counts = rig.instrument.noise_counts(sim::Direction::kToPc);
  return received;
}

TEST(SimFaults, NoiseTowardsThePcAtItsRatesAndSeed) {
  sim::NoiseCounts counts;
  const std::string clean = DumpThroughNoise({}, 1, &counts);
  ASSERT_EQ(clean.size(), 1000 * 75u);
  EXPECT_EQ(counts.bytes, 75000);

  const std::string flipped = DumpThroughNoise({.bit_error_rate = 1e-4}, 1, &counts);
  ASSERT_EQ(flipped.size(), clean.size());
  const int bits = BitsApart(clean, flipped);
  EXPECT_EQ(bits, counts.bits_flipped);
  EXPECT_GT(bits, 60 - 31);  // 600000 bits: about 60, four standard deviations either way
  EXPECT_LT(bits, 60 + 31);
  sim::NoiseCounts again;
  EXPECT_EQ(DumpThroughNoise({.bit_error_rate = 1e-4}, 1, &again), flipped);
  EXPECT_NE(DumpThroughNoise({.bit_error_rate = 1e-4}, 3, &again), flipped);

  const std::string slipped =
      DumpThroughNoise({.drop_rate = 0.01, .duplicate_rate = 0.01}, 1, &counts);
  EXPECT_EQ(static_cast<int64_t>(slipped.size()),
            75000 - counts.bytes_dropped + counts.bytes_duplicated);
  for (int64_t slips : {counts.bytes_dropped, counts.bytes_duplicated}) {
    EXPECT_GT(slips, 750 - 110);  // about 750, four standard deviations either way
    EXPECT_LT(slips, 750 + 110);
  }
  EXPECT_EQ(DumpThroughNoise({.duplicate_rate = 1}, 1, &counts).substr(0, 12), "FFFF  FFFF  ");
}

TEST(SimFaults, TheStateRecordsTheNoiseAskedForAndWhatItDid) {
  sim::Faults faults;
  faults.line_noise.seed = 7;
  faults.line_noise.to_pc.duplicate_rate = 1;
  faults.line_noise.to_instrument.bit_error_rate = 1e-7;
  SimRig rig(InMonitor(faults));
  EXPECT_EQ(rig.Ask("enh\n", "\n\n"), "RR77770000>>\r\r\n\n");
  const std::string json = rig.instrument.ReportJson();
  EXPECT_NE(json.find("\"seed\": 7,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"to_instrument\": {\"bit_error_rate\": 1e-07, \"drop_rate\": 0, "
                      "\"duplicate_rate\": 0, \"bytes\": 4, \"bits_flipped\": 0,"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"to_pc\": {\"bit_error_rate\": 0, \"drop_rate\": 0, \"duplicate_rate\": "
                      "1, \"bytes\": 8, \"bits_flipped\": 0, \"bytes_dropped\": 0, "
                      "\"bytes_duplicated\": 8}"),
            std::string::npos)
      << json;
}

}  // namespace
}  // namespace r7700::test
