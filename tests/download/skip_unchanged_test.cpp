// --skip-unchanged against the in-process instrument: what it erases and
// sends given what the instrument already holds, and what it holds after.
#include <gtest/gtest.h>

#include <algorithm>

#include "download/firmware_download.h"
#include "languages/language_download.h"
#include "link/checksum.h"
#include "tests/download/sim_rig.h"

namespace r7700 {
namespace {

using test::CommandLines;
using test::LoadBlocks;
using test::MonitorConfig;
using test::SimRig;
using test::WireItem;

constexpr uint32_t kSector = 0x10000;

enum class Download { kFirmware, kLanguages };

// The span a download owns and what a complete download leaves there.
struct Span {
  uint32_t base;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> WithMarker(std::vector<uint8_t> bytes, uint32_t at, uint32_t checksum_from,
                                uint32_t checksum_length) {
  const uint32_t sum = ChecksumBlock(bytes.data() + checksum_from, checksum_length);
  const std::vector<uint8_t> marker{0x4A, 0x53, static_cast<uint8_t>(sum & 0xFF),
                                    static_cast<uint8_t>(sum >> 8)};
  std::copy(marker.begin(), marker.end(), bytes.begin() + at);
  return bytes;
}

Span Prepare(SimRig& rig, Download which, bool boot_sector) {
  if (which == Download::kFirmware) {
    rig.run.firmware_image_path = test::TestTempPath("vqvesk.bin");
    rig.run.options.with_boot_sector = boot_sector;
    test::WriteMaskedFirmware(rig.run.firmware_image_path, kFirmwareRegionBytes);
    std::vector<uint8_t> bytes(
        test::FirmwareImage().begin(),
        test::FirmwareImage().begin() + (boot_sector ? kFirmwareRegionBytes : kBootSectorOffset));
    return {FlashBase, WithMarker(bytes, kFirmwareMarkerOffset, 0, kFirmwareChecksumLength)};
  }
  const std::vector<uint8_t> image = test::PatternBytes(0x2C000, 5);
  rig.run.language_image_path = test::WriteTempFile("lang.img", image);
  std::vector<uint8_t> bytes(kLanguageAreaBytes, 0xFF);
  std::copy(image.begin(), image.end(), bytes.begin() + 4);
  return {kLanguageAreaBase, WithMarker(bytes, 0, 4, kLanguageChecksumLength)};
}

int RunDownload(SimRig& rig, Download which) {
  return which == Download::kFirmware ? DownloadFirmwareImage(rig.run, rig.port.get())
                                      : DownloadLanguageImage(rig.run, rig.port.get());
}

struct Case {
  const char* name;
  Download which;
  int64_t changed_offset;  // a byte the instrument holds differently; -1: none
  std::vector<std::string> erases;
  bool boot_sector = false;
};

class SkipUnchangedTest : public ::testing::TestWithParam<Case> {};

TEST_P(SkipUnchangedTest, WritesOnlyWhatDiffers) {
  const Case c = GetParam();
  SimRig rig(MonitorConfig());
  rig.run.policy.skip_unchanged = true;
  const Span span = Prepare(rig, c.which, c.boot_sector);
  std::vector<uint8_t> held = span.bytes;
  if (c.changed_offset >= 0) held[static_cast<size_t>(c.changed_offset)] ^= 0x5A;
  rig.instrument.Load(span.base, held);

  ASSERT_EQ(RunDownload(rig, c.which), 0) << rig.Log();

  const std::vector<WireItem> wire = rig.Wire();
  std::vector<std::string> erases;
  for (const std::string& line : CommandLines(wire)) {
    if (line.starts_with("erase")) erases.push_back(line);
  }
  EXPECT_EQ(erases, c.erases);
  const std::vector<std::string> lines = CommandLines(wire);
  const bool writes = !c.erases.empty();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "flashload"), writes ? 1 : 0);
  EXPECT_EQ(std::any_of(lines.begin(), lines.end(),
                        [](const std::string& line) { return line.starts_with("pf"); }),
            writes);
  // Every block lies inside one erased sector.
  std::vector<std::pair<uint32_t, uint32_t>> erased;
  for (const std::string& erase : erases) {
    unsigned start = 0;
    unsigned length = 0;
    ASSERT_EQ(std::sscanf(erase.c_str(), "erase %x %x", &start, &length), 2) << erase;
    erased.emplace_back(start, start + length);
  }
  for (const WireItem& block : LoadBlocks(wire)) {
    const uint32_t sector = block.address & ~(kSector - 1);
    EXPECT_LE(block.address + block.length, sector + kSector) << std::hex << block.address;
    EXPECT_TRUE(std::any_of(
        erased.begin(), erased.end(),
        [&](const auto& range) { return sector >= range.first && sector < range.second; }))
        << std::hex << block.address;
  }
  EXPECT_EQ(rig.instrument.Read(span.base, static_cast<uint32_t>(span.bytes.size())), span.bytes);
  const sim::Instrument::Report report = rig.instrument.MakeReport();
  EXPECT_TRUE(c.which == Download::kFirmware ? report.firmware_valid : report.languages_valid);
  if (!writes) {
    EXPECT_TRUE(rig.Log().ends_with(c.which == Download::kFirmware
                                        ? "Firmware unchanged, not downloaded!\r\n"
                                        : "Languages unchanged, not downloaded!\r\n"))
        << rig.Log();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Spans, SkipUnchangedTest,
    ::testing::Values(Case{"FirmwareIdentical", Download::kFirmware, -1, {}},
                      Case{"FirmwareOneSector",
                           Download::kFirmware,
                           0x51234,
                           {"erase 3c50000 10000 10000", "erase 3fe0000 10000 10000"}},
                      Case{"FirmwareWithBootSectorOneSector",
                           Download::kFirmware,
                           0x3F1234,
                           {"erase 3fe0000 20000 10000"},
                           true},
                      Case{"FirmwareMarkerOnly",
                           Download::kFirmware,
                           kFirmwareMarkerOffset + 2,
                           {"erase 3fe0000 10000 10000"}},
                      Case{"LanguagesIdentical", Download::kLanguages, -1, {}},
                      Case{"LanguagesOneSector",
                           Download::kLanguages,
                           0x2FFFF,
                           {"erase 3b00000 10000 10000", "erase 3b20000 10000 10000"}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// The user-flash erase the run announced happens even when the firmware is
// found unchanged.
TEST(SkipUnchanged, UnchangedFirmwareStillErasesTheUserFlash) {
  SimRig rig(MonitorConfig());
  rig.run.policy.skip_unchanged = true;
  rig.run.options.erase_user_flash = true;
  const Span span = Prepare(rig, Download::kFirmware, false);
  rig.instrument.Load(span.base, span.bytes);
  rig.instrument.Load(0x3801000, {1, 2, 3});

  ASSERT_EQ(DownloadFirmwareImage(rig.run, rig.port.get()), 0) << rig.Log();
  const std::vector<std::string> lines = CommandLines(rig.Wire());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "erase 3800000 300000 10000"), 1);
  EXPECT_EQ(rig.instrument.Read(0x3801000, 3), std::vector<uint8_t>(3, 0xFF));
  EXPECT_TRUE(rig.instrument.MakeReport().firmware_valid);
  EXPECT_TRUE(rig.Log().ends_with("Firmware unchanged, not downloaded!\r\nErased UserFlash!\r\n"))
      << rig.Log();
}

}  // namespace
}  // namespace r7700
