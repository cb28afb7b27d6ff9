// A busy instrument is deaf beyond its 16-byte receive FIFO, acknowledges a
// block only once it is programmed, and stays bounded whatever it is sent.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/checksum.h"
#include "link/text_format.h"
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

// A language download as the dialogue sends it; `ending` is what the tool
// waits for before it sends the next step.
struct Step {
  std::string bytes;
  std::string ending;
};

std::vector<Step> LanguageDownload(const std::vector<uint8_t>& image) {
  std::vector<Step> steps{{"pf 3b00000 0\n", std::string(kPrompt)},
                          {"pf 3b00001 0\n", std::string(kPrompt)},
                          {"erase 3b00000 100000 10000\n", std::string(kPrompt)},
                          {"flashload\n", ")\r\n"}};
  uint32_t checksum = 0;
  for (size_t at = 0; at < image.size(); at += 1024) {
    const std::vector<uint8_t> block(
        image.begin() + static_cast<ptrdiff_t>(at),
        image.begin() + static_cast<ptrdiff_t>(std::min(image.size(), at + 1024)));
    uint8_t ack = 0;
    for (uint8_t byte : block) ack ^= byte;
    steps.push_back({LoadBlock(0x3B00004 + static_cast<uint32_t>(at), block),
                     std::string(1, static_cast<char>(ack))});
  }
  for (uint8_t byte : image) checksum = ChecksumStep(checksum, byte);
  for (size_t i = image.size(); i < 0xFFFFB; ++i) checksum = ChecksumStep(checksum, 0xFF);
  steps.push_back({kEndBlock, std::string(kPrompt)});
  steps.push_back({"crc 3b00004 ffffc\n", std::string(kPrompt)});
  const uint32_t marker[] = {0x4A, 0x53, checksum & 0xFF, checksum >> 8};
  for (uint32_t i = 0; i < 4; ++i) {
    steps.push_back({Format("pf %lx %x\n", 0x3B00000ul + i, marker[i]), std::string(kPrompt)});
  }
  return steps;
}

TEST(SimPacing, AToolThatDoesNotWaitFails) {
  const std::vector<uint8_t> image = TestPattern(3000);
  for (bool waits : {true, false}) {
    SimRig rig(InMonitor());
    std::string burst;
    for (const Step& step : LanguageDownload(image)) {
      if (!waits) {
        burst += step.bytes;
        continue;
      }
      rig.Send(step.bytes);
      ASSERT_TRUE(rig.ReadUntil(step.ending, 20000).ends_with(step.ending)) << step.bytes;
    }
    rig.Send(burst);
    rig.ReadFor(20000);
    EXPECT_EQ(rig.instrument.MakeReport().languages_valid, waits);
    EXPECT_EQ(rig.instrument.Read(0x3B00004, 3000) == image, waits);
  }
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
