#include "languages/language_download.h"

#include <gtest/gtest.h>

#include <regex>

#include "download/flash_programming.h"
#include "download/sector_repair.h"
#include "link/checksum.h"
#include "tests/download/sim_rig.h"

namespace r7700 {
namespace {

using test::CommandLines;
using test::LoadBlocks;
using test::MonitorConfig;
using test::PfLine;
using test::SimRig;
using test::WireItem;

// The monitor's checksum of the area behind the marker: the image, then
// erased flash, over 0xFFFFB bytes.
uint32_t AreaChecksum(const std::vector<uint8_t>& image) {
  std::vector<uint8_t> area(0xFFFFC, 0xFF);
  std::copy(image.begin(), image.end(), area.begin());
  return ChecksumBlock(area.data(), static_cast<uint32_t>(area.size()));
}

SimRig& Prepared(SimRig& rig, const std::vector<uint8_t>& image) {
  rig.run.language_image_path = test::WriteTempFile("lang.img", image);
  return rig;
}

struct Case {
  const char* name;
  uint32_t image_bytes;
  bool ram_card;
};

class LanguageAreaTest : public ::testing::TestWithParam<Case> {};

TEST_P(LanguageAreaTest, ProgramsAreaAndMarker) {
  const Case c = GetParam();
  SimRig rig(MonitorConfig({}, c.ram_card));
  const uint32_t base = c.ram_card ? 0x2300000 : 0x3B00000;
  const std::vector<uint8_t> image = test::PatternBytes(c.image_bytes, 3);
  rig.instrument.Load(base, {0x4A, 0x53, 0x12, 0x34});
  rig.instrument.Load(base + 0xFFFFF, {0x00});  // stale, for the erase to clear
  rig.run.options.boot_from_ram_card = c.ram_card;
  ASSERT_EQ(DownloadLanguageImage(Prepared(rig, image).run, rig.port.get()), 0) << rig.Log();

  const uint32_t checksum = AreaChecksum(image);
  char erase[64];
  char crc[64];
  std::snprintf(erase, sizeof erase, "erase %x 100000 10000", base);
  std::snprintf(crc, sizeof crc, "crc %x ffffc", base + 4);
  const std::vector<std::string> expected{PfLine(base, 0),
                                          PfLine(base + 1, 0),
                                          erase,
                                          "flashload",
                                          crc,
                                          PfLine(base, 0x4a),
                                          PfLine(base + 1, 0x53),
                                          PfLine(base + 2, checksum & 0xFF),
                                          PfLine(base + 3, checksum >> 8),
                                          "dm " + test::Hex(base)};
  const std::vector<WireItem> wire = rig.Wire();
  EXPECT_EQ(CommandLines(wire), expected);

  const std::vector<WireItem> blocks = LoadBlocks(wire);
  ASSERT_EQ(blocks.size(), (c.image_bytes + 1023) / 1024);
  for (size_t i = 0; i < blocks.size(); ++i) {
    const uint32_t offset = static_cast<uint32_t>(i) * 1024;
    EXPECT_EQ(blocks[i].length, std::min(1024u, c.image_bytes - offset)) << "block " << i;
    EXPECT_EQ(blocks[i].address, base + 4 + offset) << "block " << i;
  }
  EXPECT_EQ(rig.instrument.Read(base + 4, c.image_bytes), image);
  EXPECT_EQ(rig.instrument.Peek(base + 0xFFFFF), c.image_bytes == 0xFFFFC ? image.back() : 0xFF);
  EXPECT_EQ(rig.instrument.Read(base, 4),
            (std::vector<uint8_t>{0x4A, 0x53, static_cast<uint8_t>(checksum & 0xFF),
                                  static_cast<uint8_t>(checksum >> 8)}));
  EXPECT_TRUE(rig.instrument.MakeReport().languages_valid);
  EXPECT_EQ(rig.Log(), "Erasing languages ...\r\nErased !\r\nDownloading languages: Transferred " +
                           std::to_string(c.image_bytes) +
                           " Bytes\r\nChecksum ok!\r\nWriting magic & checksum!\r\n"
                           "Language download complete!\r\n");
}

INSTANTIATE_TEST_SUITE_P(Images, LanguageAreaTest,
                         ::testing::Values(Case{"WorkedExample", 6520, false},
                                           Case{"EmptyDirectory", 220, false},
                                           Case{"WholeBlocks", 3072, false},
                                           Case{"FillsArea", 0xFFFFC, false},
                                           Case{"RamCard", 6520, true}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(LanguageDownload, WorkedExampleFrames) {
  SimRig rig(MonitorConfig());
  ASSERT_EQ(DownloadLanguageImage(Prepared(rig, test::PatternBytes(6520, 5)).run, rig.port.get()),
            0);
  const std::vector<WireItem> blocks = LoadBlocks(rig.Wire());
  ASSERT_EQ(blocks.size(), 7u);
  const auto& sent = rig.backend.sent();
  const auto header = sent.begin() + static_cast<long>(blocks[0].offset);
  EXPECT_EQ(std::vector<uint8_t>(header, header + 9),
            (std::vector<uint8_t>{0x4A, 0x00, 0x00, 0x04, 0x00, 0x03, 0xB0, 0x00, 0x04}));
  EXPECT_EQ(blocks[6].length, 376u);
  EXPECT_EQ(blocks[6].address, 0x3B01804u);
  const auto end_block = sent.begin() + static_cast<long>(blocks[6].data_offset + 376);
  EXPECT_EQ(std::vector<uint8_t>(end_block, end_block + 5),
            (std::vector<uint8_t>{0x4A, 0, 0, 0, 0}));
}

TEST(LanguageDownload, PromptTwiceBeforeBanner) {
  SimRig rig(MonitorConfig({.prompt_instead_of_banner = 2}));
  ASSERT_EQ(DownloadLanguageImage(Prepared(rig, test::PatternBytes(2000, 1)).run, rig.port.get()),
            0);
  const std::vector<std::string> lines = CommandLines(rig.Wire());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "flashload"), 3);
  EXPECT_TRUE(std::regex_search(
      rig.Log(), std::regex("Erased !\r\n(redo cmd fload >R7700[^<]*<\r\n){2}Downloading")))
      << rig.Log();
}

TEST(LanguageDownloadFailures, MissingImageSendsNothing) {
  SimRig rig(MonitorConfig());
  rig.run.language_image_path = test::TestTempPath("no-such-lang.img");
  EXPECT_EQ(DownloadLanguageImage(rig.run, rig.port.get()), -1);
  EXPECT_TRUE(rig.backend.sent().empty());
  EXPECT_EQ(rig.Log(), "File " + rig.run.language_image_path + " not found!\r\n");
}

TEST(LanguageDownloadFailures, WrongAcknowledgementStopsTransfer) {
  SimRig rig(MonitorConfig({.wrong_ack_on_block = 2}));
  rig.instrument.Load(0x3B00000, {0x4A, 0x53, 0x12, 0x34});
  EXPECT_EQ(DownloadLanguageImage(Prepared(rig, test::PatternBytes(6520, 1)).run, rig.port.get()),
            -1);
  const std::vector<WireItem> wire = rig.Wire();
  EXPECT_EQ(LoadBlocks(wire).size(), 3u);
  EXPECT_EQ(wire.back().kind, WireItem::kLoadBlock);
  EXPECT_TRUE(rig.Log().ends_with("Downloading languages: Transmission error!")) << rig.Log();
  EXPECT_EQ(rig.instrument.Read(0x3B00000, 4), std::vector<uint8_t>(4, 0xFF));
}

// With repair the transfer goes on past the block acknowledged wrongly;
// its sector is surveyed before the checksum is asked, and as its bytes
// arrived intact nothing is written again.
TEST(LanguageDownloadFailures, WrongAcknowledgementOfAnIntactBlockIsSurveyedNotWrittenAgain) {
  SimRig rig(MonitorConfig({.wrong_ack_on_block = 2}));
  rig.run.policy.repair = true;
  const std::vector<uint8_t> image = test::PatternBytes(6520, 1);
  EXPECT_EQ(DownloadLanguageImage(Prepared(rig, image).run, rig.port.get()), 0) << rig.Log();
  const std::vector<std::string> lines = CommandLines(rig.Wire());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "erase 3b00000 100000 10000"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "crc 3b00000 10001"), 1);
  EXPECT_EQ(LoadBlocks(rig.Wire()).size(), 7u);
  EXPECT_NE(rig.Log().find("Transferred 6520 Bytes\r\nChecksum ok!\r\n"), std::string::npos)
      << rig.Log();
  EXPECT_TRUE(rig.Log().ends_with("Repair: 1 rounds, 0 sectors written again, confirmed\r\n"))
      << rig.Log();
  EXPECT_EQ(rig.instrument.Read(0x3B00004, 6520), image);
  EXPECT_TRUE(rig.instrument.MakeReport().languages_valid);
}

// A sector damaged at every attempt, each erase 110 s longer than waited
// for: the time bound (10 minutes) ends repair before its rounds run out.
TEST(LanguageDownloadFailures, RepairEndsAtItsTimeBound) {
  SimRig rig(MonitorConfig({.erase_extra_ms = 110000, .garbled_byte_address = 0x3B00100}));
  rig.run.policy.repair = true;
  EXPECT_EQ(DownloadLanguageImage(Prepared(rig, test::PatternBytes(6520, 1)).run, rig.port.get()),
            -1);
  const std::vector<std::string> lines = CommandLines(rig.Wire());
  const auto rounds =
      static_cast<int>(std::count(lines.begin(), lines.end(), "erase 3b00000 10000 10000"));
  EXPECT_GT(rounds, 1);
  EXPECT_LT(rounds, kMaxRepairRounds);
  EXPECT_TRUE(rig.Log().ends_with("Repair: " + std::to_string(rounds) + " rounds, " +
                                  std::to_string(rounds) +
                                  " sectors written again, not confirmed!\r\n"))
      << rig.Log();
  EXPECT_FALSE(rig.instrument.MakeReport().languages_valid);
}

TEST(LanguageDownloadFailures, WrongChecksumWritesNoMarker) {
  SimRig rig(MonitorConfig({.wrong_checksum = true}));
  EXPECT_EQ(DownloadLanguageImage(Prepared(rig, test::PatternBytes(2000, 1)).run, rig.port.get()),
            -1);
  EXPECT_EQ(CommandLines(rig.Wire()).back(), "crc 3b00004 ffffc");
  EXPECT_TRUE(rig.Log().ends_with("Transferred 2000 Bytes\r\nChecksum is wrong!\r\n")) << rig.Log();
  EXPECT_EQ(rig.instrument.Read(0x3B00000, 4), std::vector<uint8_t>(4, 0xFF));
}

// A marker write the monitor refused, or one that landed elsewhere, is
// found out: the refusal by its error line, the other by reading back.
TEST(LanguageDownloadFailures, MarkerNotReadBackIsFailure) {
  const std::vector<uint8_t> image = test::PatternBytes(2000, 1);
  SimRig refused(MonitorConfig({.garbled_commands = {{"pf 3b00000 4a", "pf 2b00000 4a"}}}));
  EXPECT_EQ(DownloadLanguageImage(Prepared(refused, image).run, refused.port.get()), -1);
  EXPECT_NE(refused.Log().find("Refused: Error: bad address range\r\n"), std::string::npos)
      << refused.Log();

  SimRig elsewhere(MonitorConfig({.garbled_commands = {{"pf 3b00000 4a", "pf 3b00002 4a"}}}));
  EXPECT_EQ(DownloadLanguageImage(Prepared(elsewhere, image).run, elsewhere.port.get()), -1);
  EXPECT_TRUE(elsewhere.Log().ends_with("Marker not confirmed!\r\nLanguage download complete!\r\n"))
      << elsewhere.Log();
  EXPECT_FALSE(elsewhere.instrument.MakeReport().languages_valid);
}

// A checksum that never comes is a failure without a marker, whether the
// monitor falls silent or keeps answering with its prompt.
TEST(LanguageDownloadFailures, SilenceAfterTransferIsFailure) {
  const std::vector<uint8_t> image = test::PatternBytes(2000, 1);
  SimRig healthy(MonitorConfig());
  ASSERT_EQ(DownloadLanguageImage(Prepared(healthy, image).run, healthy.port.get()), 0);
  const std::vector<WireItem> wire = healthy.Wire();
  const auto crc = std::find_if(wire.begin(), wire.end(),
                                [](const WireItem& item) { return item.line.starts_with("crc"); });
  ASSERT_NE(crc, wire.end());

  SimRig rig(MonitorConfig({.unplug_after_bytes = static_cast<int64_t>(crc->offset)}));
  EXPECT_EQ(DownloadLanguageImage(Prepared(rig, image).run, rig.port.get()), -1);
  EXPECT_EQ(CommandLines(rig.Wire()).back(), "crc 3b00004 ffffc");
  EXPECT_TRUE(rig.Log().ends_with(
      "Transferred 2000 Bytes\r\nChecksum not received!\r\nLanguage download complete!\r\n"))
      << rig.Log();
  EXPECT_EQ(rig.instrument.Read(0x3B00000, 4), std::vector<uint8_t>(4, 0xFF));
}

TEST(LanguageDownloadFailures, EndlessPromptsAreBounded) {
  SimRig rig(MonitorConfig({.prompt_instead_of_checksum = 1000}));
  EXPECT_EQ(DownloadLanguageImage(Prepared(rig, test::PatternBytes(2000, 1)).run, rig.port.get()),
            -1);
  const std::vector<std::string> lines = CommandLines(rig.Wire());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "crc 3b00004 ffffc"), kMaxChecksumRequeries + 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), PfLine(0x3B00000, 0x4a)), 0);
  EXPECT_TRUE(rig.Log().ends_with("Checksum not received!\r\nLanguage download complete!\r\n"));
}

}  // namespace
}  // namespace r7700
