// The downloader, the checksum and dump commands, and flash rules, checked
// on the instrument's memory and on the bytes it answers.
#include <gtest/gtest.h>

#include <cstdio>

#include <string>
#include <vector>

#include "link/checksum.h"
#include "sim/instrument.h"
#include "tests/sim/sim_test_rig.h"

namespace r7700::test {
namespace {

constexpr uint32_t kTestLoad = 0x840000;
constexpr uint32_t kLanguageArea = 0x3B00000;

uint8_t Xor(const std::vector<uint8_t>& bytes) {
  uint8_t value = 0;
  for (uint8_t b : bytes) value ^= b;
  return value;
}

TEST(SimDownloader, TestLoadLandsInRamAndIsSummedAndDumped) {
  SimRig rig(InMonitor());
  EXPECT_EQ(rig.Ask("ramload\n", "\r\n"), "VQ Downloader 2.1 (RAM)\r\n");
  const std::vector<uint8_t> pattern = TestPattern(10240);
  rig.Send(LoadBlock(kTestLoad, pattern));
  EXPECT_EQ(rig.ReadFor(500), std::string(1, '\0'));  // the XOR of 0..255 runs
  EXPECT_EQ(rig.Ask(kEndBlock), kPrompt);
  EXPECT_EQ(rig.instrument.Read(kTestLoad, 10240), pattern);

  EXPECT_EQ(rig.Ask("crc 840000 2800\n"), "C0F9\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("crc 840000 1\n"), "0000\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("crc 840000 0\n"), "Error: bad address range\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("dm 840000\n"),
            "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F  ................\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("dm 840030\n"),
            "30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F  0123456789:;<=>?\r\nR7700>\r\n");
}

TEST(SimDownloader, AcknowledgesEachBlockWithItsXor) {
  SimRig rig(InMonitor());
  rig.Ask("flashload\n", "\r\n");
  for (uint32_t block = 0; block < 3; ++block) {
    std::vector<uint8_t> data(1024);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + block * 13 + 1);
    rig.Send(LoadBlock(kLanguageArea + 4 + block * 1024, data));
    EXPECT_EQ(rig.ReadFor(500), std::string(1, static_cast<char>(Xor(data))));
  }
  // Junk before a frame start is skipped without an answer.
  EXPECT_EQ(rig.Ask("junk" + kEndBlock), kPrompt);
}

TEST(SimDownloader, RefusesBlocksOutsideItsMemory) {
  SimRig rig(InMonitor());
  const std::vector<uint8_t> data(16, 0x00);
  const std::vector<uint8_t> boot_sector_top = rig.instrument.Read(0x3FFFFF8, 8);
  EXPECT_EQ(rig.Load(true, kTestLoad, data), "Download error: address out of range\r\n");
  EXPECT_EQ(rig.Load(false, kLanguageArea, data), "Download error: address out of range\r\n");
  EXPECT_EQ(rig.Load(true, 0x3FFFFF8, data), "Download error: address out of range\r\n");
  EXPECT_EQ(rig.instrument.Read(kTestLoad, 16), std::vector<uint8_t>(16, 0xFF));
  EXPECT_EQ(rig.instrument.Read(kLanguageArea, 16), std::vector<uint8_t>(16, 0xFF));
  EXPECT_EQ(rig.instrument.Read(0x3FFFFF8, 8), boot_sector_top);
  // The RAM-card copy of the flash is flash too.
  EXPECT_EQ(rig.Load(true, kLanguageArea - 0x1800000, data), std::string(1, '\0'));
  EXPECT_EQ(rig.instrument.Read(kLanguageArea - 0x1800000, 16), data);
  EXPECT_EQ(rig.Load(true, 0x3C00000, std::vector<uint8_t>(0x10001, 0)),
            "Download error: block too long\r\n");
}

TEST(SimFlash, ProgrammingOnlyClearsBitsAndEraseSetsThemAgain) {
  SimRig rig(InMonitor());
  EXPECT_EQ(rig.Ask("pf 3b00000 f0\n"), kPrompt);
  EXPECT_EQ(rig.Ask("pf 3b00000 3c\n"), kPrompt);
  EXPECT_EQ(rig.instrument.Peek(kLanguageArea), 0x30);
  rig.Load(true, kLanguageArea + 1, {0x0F, 0xAA});
  rig.Load(true, kLanguageArea + 1, {0xFC, 0x55});
  EXPECT_EQ(rig.instrument.Read(kLanguageArea + 1, 2), (std::vector<uint8_t>{0x0C, 0x00}));
  rig.instrument.Load(kLanguageArea + 0x10000, {0x12});

  EXPECT_EQ(rig.Ask("erase 3b00000 10000 10000\n", kPrompt), kPrompt);
  EXPECT_EQ(rig.instrument.Read(kLanguageArea, 3), std::vector<uint8_t>(3, 0xFF));
  EXPECT_EQ(rig.instrument.Peek(kLanguageArea + 0x10000), 0x12);  // the next sector stays

  EXPECT_EQ(rig.Ask("pf 840000 0\n"), "Error: bad address range\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("pf 3b00000 100\n"), "Error: bad value\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("erase 3b08000 10000 10000\n"), "Error: bad address range\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("erase 3b00000 10000 8000\n"), "Error: bad block size\r\nR7700>\r\n");
  EXPECT_EQ(rig.Ask("erase 3f00000 200000 10000\n"), "Error: bad address range\r\nR7700>\r\n");
  EXPECT_EQ(rig.instrument.Peek(kLanguageArea + 0x10000), 0x12);
}

TEST(SimFlash, EraseAnswersOnlyWhenDoneAndWithinTheToolsWait) {
  SimRig rig(InMonitor());
  rig.instrument.Load(0x3C00000, {0x00});
  for (auto [command, tool_wait_ms] : {std::pair{"erase 3c00000 3f0000 10000\n", 48200},
                                       std::pair{"erase 3b00000 100000 10000\n", 16200},
                                       std::pair{"erase 3800000 300000 10000\n", 48200}}) {
    rig.Send(command);
    const int64_t sent_us = rig.clock.NowMicros();
    EXPECT_EQ(rig.ReadFor(tool_wait_ms / 2), "") << command;  // no early prompt
    EXPECT_EQ(rig.ReadUntil(kPrompt, tool_wait_ms), kPrompt) << command;
    EXPECT_LT(rig.clock.NowMicros() - sent_us, tool_wait_ms * 1000) << command;
  }
  EXPECT_EQ(rig.instrument.Peek(0x3C00000), 0xFF);
}

TEST(SimFlash, ChecksumCoversLengthMinusOneBytesOfFlash) {
  SimRig rig(InMonitor());
  rig.instrument.Load(kLanguageArea + 4, {'a', 'b', 'c'});
  // Over "ab" then the erased rest: the same fold the tool makes.
  uint32_t expected = ChecksumStep(ChecksumStep(0, 'a'), 'b');
  EXPECT_EQ(rig.Ask("crc 3b00004 3\n"), "79A8\r\nR7700>\r\n");
  for (int i = 2; i < 0xFFFFB; ++i) expected = ChecksumStep(expected, i == 2 ? 'c' : 0xFF);
  char line[16];
  std::snprintf(line, sizeof line, "%04X\r\n", static_cast<unsigned>(expected));
  EXPECT_EQ(rig.Ask("crc 3b00004 ffffc\n"), std::string(line) + std::string(kPrompt));
  EXPECT_EQ(rig.Ask("crc 3fffff0 20\n"), "Error: bad address range\r\nR7700>\r\n");
}

}  // namespace
}  // namespace r7700::test
