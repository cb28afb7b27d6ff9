// A busy instrument is deaf beyond its 16-byte receive FIFO, acknowledges a
// block only once it is programmed, and stays bounded whatever it is sent.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/instrument.h"
#include "tests/sim/sim_test_rig.h"

namespace r7700::test {
namespace {

size_t Count(const std::string& text, std::string_view part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(SimPacing, WhileErasingOnlySixteenBytesAreKept) {
  SimRig rig(InMonitor());
  rig.Send("erase 3b00000 100000 10000\n");  // 9.6 s
  rig.clock.Sleep(1000);
  rig.Send(std::string(20, '\n') + "ver\n");
  const std::string replies = rig.ReadFor(12000);
  EXPECT_EQ(Count(replies, kPrompt), 1u + 16u) << "the erase's prompt and 16 nudges";
  EXPECT_EQ(Count(replies, "Ver"), 0u);
  EXPECT_EQ(rig.Ask("ver\n").substr(0, 3), "Ver");
}

TEST(SimPacing, TheAcknowledgementFollowsTheProgramming) {
  SimRig rig(InMonitor());
  rig.Ask("flashload\n", ")\r\n");
  const std::vector<uint8_t> block = TestPattern(10240);
  rig.Send(LoadBlock(0x3C00000, block));
  const int64_t sent_us = rig.clock.NowMicros();
  EXPECT_EQ(rig.ReadUntil(std::string(1, '\0'), 500), std::string(1, '\0'));
  EXPECT_GE(rig.clock.NowMicros() - sent_us, 102400) << "10 us a byte";
  // A block sent before the acknowledgement is mostly lost.
  rig.Send(LoadBlock(0x3C02800, block));
  rig.Send(LoadBlock(0x3C05000, block));
  rig.ReadFor(1000);
  EXPECT_EQ(rig.instrument.Read(0x3C05000, 16), std::vector<uint8_t>(16, 0xFF));
}

TEST(SimPacing, AFloodOfLinesStaysBounded) {
  SimRig rig(InMonitor());
  rig.Send(std::string(100000, '\n'));
  const int64_t flood_end_us = rig.clock.NowMicros();
  rig.clock.Sleep(1000);
  rig.Send("ver\n");
  EXPECT_TRUE(rig.ReadUntil("boot monitor\r\n", 60000).ends_with("boot monitor\r\n"));
  EXPECT_LT(rig.clock.NowMicros() - flood_end_us, 1500000) << "no backlog of replies";
  EXPECT_EQ(rig.instrument.commands().size(), 2000u);
  EXPECT_LT(rig.instrument.ReportJson().size(), 100000u);
}

}  // namespace
}  // namespace r7700::test
