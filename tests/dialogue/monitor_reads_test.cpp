// The read-only monitor queries against the simulated instrument: what they
// send, what they return, and how a refusal or a garbled row ends them.
#include "dialogue/monitor_reads.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogue/command_link.h"
#include "link/checksum.h"
#include "tests/dialogue/sim_rig.h"

namespace r7700 {
namespace {

sim::InstrumentConfig InMonitor(sim::Faults faults = {}) {
  sim::InstrumentConfig config;
  config.in_monitor = true;
  config.faults = faults;
  return config;
}

const std::vector<uint8_t> kBytes = {0x4A, 0x53, 0x00, 0x7F, 0x80, 0xFF, 0x20, 0x0A, 0x1B, 0x41,
                                     0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4B, 0x4C};

TEST(MonitorReads, MemoryIsReadRowByRowAndOnlyTheBytesAskedAreKept) {
  DialogueRig rig(InMonitor());
  rig.instrument.Load(0x3FEFFFC, kBytes);
  std::vector<uint8_t> read(kBytes.size() + 1, 0xEE);
  ASSERT_TRUE(ReadMonitorMemory(rig.run, rig.port.get(), 0x3FEFFFC, read.data(), 20));
  EXPECT_EQ(std::vector<uint8_t>(read.begin(), read.begin() + 20), kBytes);
  EXPECT_EQ(read[20], 0xEE);
  EXPECT_EQ(rig.Sent(), "dm 3fefffc\ndm 3ff000c\n");
}

TEST(MonitorReads, ChecksumIsTheMonitorsOwnOverTheBytesNamed) {
  DialogueRig rig(InMonitor({.prompt_instead_of_checksum = 1}));
  rig.instrument.Load(0x3FF0000, kBytes);
  const std::optional<uint16_t> value =
      QueryMonitorChecksum(rig.run, rig.port.get(), 0x3FF0000, 20, kQueryPauseMs);
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(*value, ChecksumBlock(kBytes.data(), 21));
  // The prompt in place of the first value repeated the query.
  EXPECT_EQ(rig.Sent(), "crc 3ff0000 15\ncrc 3ff0000 15\n");
}

TEST(MonitorReads, RefusedOrMalformedRepliesAreNoValue) {
  DialogueRig rig(InMonitor());
  uint8_t row[16];
  EXPECT_FALSE(ReadMonitorMemory(rig.run, rig.port.get(), 0xFFFFFFF8, row, 4));
  EXPECT_FALSE(QueryMonitorChecksum(rig.run, rig.port.get(), 0x100, 4, kQueryPauseMs));
  // Either query left the monitor in charge: a next read still works.
  EXPECT_TRUE(ReadMonitorMemory(rig.run, rig.port.get(), 0x840000, row, 16));

  EXPECT_TRUE(ParseDumpRow("00 01 02 03 04 05 06 07 08 09 0a 0B 0C 0D 0E 0F ", row));
  EXPECT_EQ(row[10], 0x0A);
  EXPECT_FALSE(ParseDumpRow("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", row));
  EXPECT_FALSE(ParseDumpRow("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0G ", row));
  EXPECT_FALSE(ParseDumpRow("840000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ", row));
}

TEST(MonitorReads, SilentMonitorEndsTheQueryWithoutAValue) {
  DialogueRig rig(InMonitor({.silent = true}));
  uint8_t row[16];
  EXPECT_FALSE(ReadMonitorMemory(rig.run, rig.port.get(), 0x840000, row, 16));
  EXPECT_FALSE(QueryMonitorChecksum(rig.run, rig.port.get(), 0x840000, 16, kQueryPauseMs));
  EXPECT_EQ(rig.Sent(), "dm 840000\ncrc 840000 11\n");
}

}  // namespace
}  // namespace r7700
