#include "download/firmware_download.h"

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

constexpr uint32_t kImageBytes = 0x400000;
constexpr uint32_t kSpan = 0x3EFFFB;  // checksummed bytes from the region base

const std::vector<uint8_t>& Image() {
  return test::FirmwareImage();
}

std::string WriteMaskedImage(const std::string& name, size_t length) {
  const std::string path = test::TestTempPath(name);
  test::WriteMaskedFirmware(path, length);
  return path;
}

uint32_t ImageChecksum() {
  return ChecksumBlock(Image().data(), kSpan + 1);
}

std::vector<uint8_t> MarkerBytes(uint32_t checksum) {
  return {0x4A, 0x53, static_cast<uint8_t>(checksum & 0xFF), static_cast<uint8_t>(checksum >> 8)};
}

struct Case {
  const char* name;
  bool ram_card;
  bool boot_sector;
  bool user_flash;
};

class FirmwareMapTest : public ::testing::TestWithParam<Case> {};

// The whole dialogue of a successful download, frame by frame, and what the
// instrument holds afterwards, for each memory map.
TEST_P(FirmwareMapTest, ProgramsRegionAndMarker) {
  const Case c = GetParam();
  SimRig rig(MonitorConfig({}, c.ram_card));
  const uint32_t base = c.ram_card ? 0x2400000 : 0x3C00000;
  const uint32_t user_flash = c.ram_card ? 0x2000000 : 0x3800000;
  const uint32_t marker = base + 0x3EFFFC;
  const bool whole = c.ram_card || c.boot_sector;
  const std::vector<uint8_t> old_boot = test::PatternBytes(0x10000, 99);
  rig.instrument.Load(base + 0x3F0000, old_boot);
  rig.instrument.Load(marker, {0x4A, 0x53, 0x12, 0x34});
  rig.instrument.Load(user_flash + 0x1000, {1, 2, 3});
  rig.run.options = {c.ram_card, c.boot_sector, c.user_flash};
  rig.run.firmware_image_path = WriteMaskedImage("vqvesk.bin", kImageBytes);

  ASSERT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), 0) << rig.Log();

  const uint32_t checksum = ImageChecksum();
  std::vector<std::string> expected{PfLine(marker, 0), PfLine(marker + 1, 0)};
  char erase[64];
  std::snprintf(erase, sizeof erase, "erase %x %x 10000", base, whole ? 0x400000u : 0x3f0000u);
  expected.push_back(erase);
  if (c.user_flash) {
    std::snprintf(erase, sizeof erase, "erase %x 300000 10000", user_flash);
    expected.push_back(erase);
  }
  char crc[64];
  std::snprintf(crc, sizeof crc, "crc %x 3efffc", base);
  expected.insert(expected.end(),
                  {"flashload", crc, PfLine(marker, 0x4a), PfLine(marker + 1, 0x53),
                   PfLine(marker + 2, checksum & 0xFF), PfLine(marker + 3, checksum >> 8)});
  // Read back: the marker, and when they were sent the boot sector and the
  // byte before the marker, which no checksum covers.
  expected.push_back("dm " + test::Hex(marker));
  if (whole) expected.push_back("crc " + test::Hex(base + 0x3F0000) + " 10001");
  if (whole) expected.push_back("dm " + test::Hex(marker - 1));
  const std::vector<WireItem> wire = rig.Wire();
  EXPECT_EQ(CommandLines(wire), expected);

  const std::vector<WireItem> blocks = LoadBlocks(wire);
  ASSERT_EQ(blocks.size(), whole ? 410u : 404u);
  for (size_t i = 0; i < blocks.size(); ++i) {
    const uint32_t length = i + 1 < blocks.size() ? 10240 : (whole ? 6144 : 2043);
    ASSERT_EQ(blocks[i].length, length) << "block " << i;
    ASSERT_EQ(blocks[i].address, base + i * 10240) << "block " << i;
  }
  const std::vector<uint8_t> first = rig.DataOf(blocks[0]);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), Image().begin())) << "sent unmasked";
  const auto after_last = std::find_if(wire.begin(), wire.end(), [&](const WireItem& item) {
    return item.offset > blocks.back().offset;
  });
  ASSERT_NE(after_last, wire.end());
  EXPECT_EQ(after_last->kind, WireItem::kEndBlock);

  EXPECT_EQ(rig.instrument.Read(base, kSpan),
            std::vector<uint8_t>(Image().begin(), Image().begin() + kSpan));
  EXPECT_EQ(rig.instrument.Read(marker, 4), MarkerBytes(checksum));
  EXPECT_EQ(rig.instrument.Read(base + 0x3F0000, 0x10000),
            whole ? std::vector<uint8_t>(Image().begin() + 0x3F0000, Image().end()) : old_boot);
  EXPECT_EQ(rig.instrument.Peek(user_flash + 0x1000), c.user_flash ? 0xFF : 1);
  EXPECT_TRUE(rig.instrument.MakeReport().firmware_valid);

  const std::string shown = whole ? "4194304" : "4128768";
  const std::string erased = c.user_flash ? "Erased !\r\nErased UserFlash!\r\n" : "Erased !\r\n";
  EXPECT_TRUE(std::regex_match(rig.Log(), std::regex("Erasing memory...\r\n" + erased +
                                                     "Downloading:\r\nTransferred " + shown +
                                                     " Bytes in [0-9]+ sec!\r\nChecksum ok!\r\n"
                                                     "Writing magic & checksum!\r\n"
                                                     "Firmware download complete!\r\n")))
      << rig.Log();
  EXPECT_EQ(rig.window.control(IDC_COUNTER).text, whole ? "4194304 = 100%" : "4128763 = 99%");
}

INSTANTIATE_TEST_SUITE_P(Maps, FirmwareMapTest,
                         ::testing::Values(Case{"FlashBoot", false, false, false},
                                           Case{"RamCardAndUserFlash", true, false, true},
                                           Case{"BootSector", false, true, false},
                                           Case{"UserFlash", false, false, true}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// Failures before the checksum: nothing past the failing step reaches the
// instrument, and the old marker is left invalid.
TEST(FirmwareDownloadFailures, MissingImageSendsNothing) {
  SimRig rig(MonitorConfig());
  rig.run.firmware_image_path = test::TestTempPath("no-such-image.bin");
  EXPECT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), -1);
  EXPECT_TRUE(rig.backend.sent().empty());
  EXPECT_EQ(rig.Log(), "Firmware image " + rig.run.firmware_image_path + " not found!\r\n");
}

TEST(FirmwareDownloadFailures, NoBannerAfterFiveTries) {
  SimRig rig(MonitorConfig({.prompt_instead_of_banner = 100}));
  rig.instrument.Load(0x3FEFFFC, {0x4A, 0x53, 0x12, 0x34});
  rig.instrument.Load(0x3C00000, {0x00});
  rig.run.firmware_image_path = WriteMaskedImage("short.bin", 30000);
  EXPECT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), -1);

  const std::vector<std::string> lines = CommandLines(rig.Wire());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "flashload"), 6);
  EXPECT_TRUE(LoadBlocks(rig.Wire()).empty());
  EXPECT_TRUE(std::regex_match(
      rig.Log(), std::regex("Erasing memory...\r\nErased !\r\n(redo cmd fload >R7700[^<]*<\r\n){5}"
                            "got NO VQ...R7700.*\r\n")))
      << rig.Log();
  // The old marker was cleared and then erased with the region.
  EXPECT_EQ(rig.instrument.Read(0x3FEFFFC, 4), std::vector<uint8_t>(4, 0xFF));
  EXPECT_EQ(rig.instrument.Peek(0x3C00000), 0xFF);
}

TEST(FirmwareDownloadFailures, NoAcknowledgementStopsAfterFirstBlock) {
  SimRig rig(MonitorConfig({.no_ack = true}));
  rig.run.firmware_image_path = WriteMaskedImage("short.bin", 30000);
  EXPECT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), -1);
  const std::vector<WireItem> wire = rig.Wire();
  ASSERT_EQ(wire.back().kind, WireItem::kLoadBlock);
  EXPECT_EQ(LoadBlocks(wire).size(), 1u);
  EXPECT_TRUE(rig.Log().ends_with("Downloading:Board does not repsond!")) << rig.Log();
}

// An erase counts only on the monitor's prompt: on a line that went dead
// after the erase command the download ends there.
TEST(FirmwareDownloadFailures, UnansweredEraseEndsTheDownload) {
  constexpr int64_t kThroughTheErase = 13 + 13 + 27;  // two "pf" lines and the erase
  SimRig rig(MonitorConfig({.unplug_after_bytes = kThroughTheErase}));
  rig.run.firmware_image_path = WriteMaskedImage("vqvesk.bin", kImageBytes);
  EXPECT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), -1);
  const std::vector<std::string> lines = CommandLines(rig.Wire());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "erase 3c00000 3f0000 10000"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "flashload"), 0);
  EXPECT_EQ(rig.Log(), "Erasing memory...\r\nNo prompt!\r\n");
}

// With the boot sector sent, the byte before the marker lies outside both
// checksums: it is read back.
TEST(FirmwareDownloadFailures, WrongByteBeforeTheMarkerIsFound) {
  SimRig rig(MonitorConfig({.garbled_byte_address = 0x3FEFFFB}));
  rig.run.options.with_boot_sector = true;
  rig.run.firmware_image_path = WriteMaskedImage("vqvesk.bin", kImageBytes);
  EXPECT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), -1);
  EXPECT_TRUE(rig.Log().ends_with("Byte 3FEFFFB not confirmed!\r\nFirmware download complete!\r\n"))
      << rig.Log();
}

// Repair: blocks acknowledged wrongly name the sectors the monitor is asked
// about; only those it finds different are erased and sent again, and the
// span checksum, asked once at the end, decides.
struct RepairCase {
  const char* name;
  sim::Faults faults;
  bool repair;
  int status;
  std::vector<std::string> sector_queries;  // "crc S 10001" after the transfer
  std::vector<std::string> repair_erases;
  const char* log_end;
};

class FirmwareRepairTest : public ::testing::TestWithParam<RepairCase> {};

TEST_P(FirmwareRepairTest, RepairsOnlyWhatTheMonitorFindsDifferent) {
  const RepairCase& c = GetParam();
  SimRig rig(MonitorConfig(c.faults));
  rig.run.policy.repair = c.repair;
  rig.run.firmware_image_path = WriteMaskedImage("vqvesk.bin", kImageBytes);
  EXPECT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), c.status) << rig.Log();

  const std::vector<std::string> lines = CommandLines(rig.Wire());
  std::vector<std::string> queries;
  std::vector<std::string> erases;
  for (const std::string& line : lines) {
    if (line.starts_with("crc") && line.ends_with(" 10001")) queries.push_back(line);
    if (line.starts_with("erase") && line != "erase 3c00000 3f0000 10000") erases.push_back(line);
  }
  EXPECT_EQ(queries, c.sector_queries);
  EXPECT_EQ(erases, c.repair_erases);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "crc 3c00000 3efffc"), 1);
  EXPECT_TRUE(rig.Log().ends_with(c.log_end)) << rig.Log();
  const bool loaded = c.status == 0;
  EXPECT_EQ(rig.instrument.Read(0x3C00000, kSpan) ==
                std::vector<uint8_t>(Image().begin(), Image().begin() + kSpan),
            loaded);
  EXPECT_EQ(rig.instrument.MakeReport().firmware_valid, loaded);
}

// One flipped bit in each of blocks 100, 200, 301 and 401 (the noise hits
// every N-th byte received, N chosen to land in their data).
constexpr int kNoiseInFourBlocks = 1029972;

INSTANTIATE_TEST_SUITE_P(
    Repairs, FirmwareRepairTest,
    ::testing::Values(RepairCase{"FourDamagedBlocks",
                                 {.noise_every_n_bytes = kNoiseInFourBlocks},
                                 true,
                                 0,
                                 {"crc 3cf0000 10001", "crc 3df0000 10001", "crc 3ef0000 10001",
                                  "crc 3fe0000 10001"},
                                 {"erase 3cf0000 10000 10000", "erase 3df0000 10000 10000",
                                  "erase 3ef0000 10000 10000", "erase 3fe0000 10000 10000"},
                                 "Repair: 1 rounds, 4 sectors written again, confirmed\r\n"
                                 "Firmware download complete!\r\n"},
                      RepairCase{"FourDamagedBlocksWithoutRepair",
                                 {.noise_every_n_bytes = kNoiseInFourBlocks},
                                 false,
                                 -1,
                                 {},
                                 {},
                                 "Checksum is wrong!!!\r\n"},
                      // The acknowledgement came back wrong, the data arrived intact.
                      RepairCase{"WrongAckIntactBlock",
                                 {.wrong_ack_on_block = 5},
                                 true,
                                 0,
                                 {"crc 3c00000 10001"},
                                 {},
                                 "Repair: 1 rounds, 0 sectors written again, confirmed\r\n"
                                 "Firmware download complete!\r\n"},
                      // Damaged at every attempt: the bound ends it, the monitor's sum has
                      // the last word.
                      RepairCase{
                          "DamagedEveryTime",
                          {.garbled_byte_address = 0x3C12345},
                          true,
                          -1,
                          std::vector<std::string>(kMaxRepairRounds, "crc 3c10000 10001"),
                          std::vector<std::string>(kMaxRepairRounds, "erase 3c10000 10000 10000"),
                          "Checksum is wrong!!!\r\nRepair: 8 rounds, 8 sectors written again, "
                          "not confirmed!\r\n"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// The checksum reply: a wrong value, a prompt in its place (answered by a
// repeated query), and a monitor that never stops answering with its prompt.
TEST(FirmwareChecksum, WrongValueWritesNoMarker) {
  SimRig rig(MonitorConfig({.wrong_checksum = true}));
  rig.run.firmware_image_path = WriteMaskedImage("vqvesk.bin", kImageBytes);
  EXPECT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), -1);
  EXPECT_EQ(CommandLines(rig.Wire()).back(), "crc 3c00000 3efffc");
  EXPECT_TRUE(rig.Log().ends_with("Checksum is wrong!!!\r\n")) << rig.Log();
  EXPECT_EQ(rig.instrument.Read(0x3FEFFFC, 4), std::vector<uint8_t>(4, 0xFF));
}

TEST(FirmwareChecksum, PromptInsteadOfValueRepeatsQuery) {
  SimRig rig(MonitorConfig({.prompt_instead_of_checksum = 1}));
  rig.run.firmware_image_path = WriteMaskedImage("vqvesk.bin", kImageBytes);
  EXPECT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), 0) << rig.Log();
  const std::vector<std::string> lines = CommandLines(rig.Wire());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "crc 3c00000 3efffc"), 2);
  EXPECT_NE(rig.Log().find("redo4 cmd crc 3c00000 3efffc\r\n (to 29)Checksum ok!\r\n"),
            std::string::npos)
      << rig.Log();
  EXPECT_EQ(rig.instrument.Read(0x3FEFFFC, 4), MarkerBytes(ImageChecksum()));
}

TEST(FirmwareChecksum, RepeatedQueriesAreBounded) {
  SimRig rig(MonitorConfig({.prompt_instead_of_checksum = 1000}));
  rig.run.firmware_image_path = WriteMaskedImage("vqvesk.bin", kImageBytes);
  EXPECT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), -1);
  const std::vector<std::string> lines = CommandLines(rig.Wire());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "crc 3c00000 3efffc"),
            kMaxChecksumRequeries + 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), PfLine(0x3FEFFFC, 0x4a)), 0);
  EXPECT_TRUE(
      rig.Log().ends_with("(to 74)Checksum not received!\r\nFirmware download complete!\r\n"))
      << rig.Log();
}

}  // namespace
}  // namespace r7700
