// What the instrument finds at reboot: the markers of the copy it boots
// from, and the installed languages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/checksum.h"
#include "sim/instrument.h"
#include "sim/sha256.h"
#include "tests/sim/sim_test_rig.h"

namespace r7700::test {
namespace {

constexpr uint32_t kRamCardOffset = 0x1800000;

uint32_t Sum(const sim::Instrument& instrument, uint32_t address, uint32_t count) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < count; ++i) value = ChecksumStep(value, instrument.Peek(address + i));
  return value;
}

// Programs "J", "S", checksum low, high at marker with the monitor's "pf".
void WriteMarker(SimRig& rig, uint32_t marker, uint32_t checksum) {
  const uint32_t values[4] = {0x4A, 0x53, checksum & 0xFF, (checksum >> 8) & 0xFF};
  for (uint32_t i = 0; i < 4; ++i) {
    char command[40];
    std::snprintf(command, sizeof command, "pf %lx %x\n", static_cast<unsigned long>(marker + i),
                  values[i]);
    ASSERT_EQ(rig.Ask(command), kPrompt);
  }
}

void InstallFirmware(SimRig& rig, uint32_t base) {
  rig.Load(true, base, {0x12, 0x34, 0x56, 0x78});
  WriteMarker(rig, base + 0x3EFFFC, Sum(rig.instrument, base, 0x3EFFFB));
}

void InstallLanguages(SimRig& rig, uint32_t base) {
  std::vector<uint8_t> image(220 + 64, 0);
  for (auto [slot, name] : {std::pair{0, "English"}, std::pair{1, "Deutsch"}}) {
    std::copy_n(name, std::strlen(name), image.begin() + slot * 44);
  }
  rig.Load(true, base + 4, image);
  WriteMarker(rig, base, Sum(rig.instrument, base + 4, 0xFFFFB));
}

TEST(SimReboot, FindsValidMarkersAndLanguageNames) {
  SimRig rig(InMonitor());
  InstallFirmware(rig, 0x3C00000);
  InstallLanguages(rig, 0x3B00000);
  rig.Ask("reboot\n", "\r\n");
  const sim::Instrument::Report report = rig.instrument.MakeReport();
  EXPECT_TRUE(report.rebooted);
  EXPECT_TRUE(report.firmware_valid);
  EXPECT_TRUE(report.languages_valid);
  EXPECT_EQ(report.languages, (std::vector<std::string>{"English", "Deutsch"}));
  EXPECT_EQ(report.firmware_bytes_programmed, 4);
  const std::string json = rig.instrument.ReportJson();
  EXPECT_NE(json.find("\"firmware_valid\": true"), std::string::npos) << json;
  EXPECT_NE(json.find("\"languages\": [\"English\", \"Deutsch\"]"), std::string::npos) << json;
  EXPECT_NE(json.find("\"commands\": [\"flashload\", \"pf 3fefffc 4a\""), std::string::npos)
      << json;
}

TEST(SimReboot, AChangedByteOrAnIncompleteMarkerIsInvalid) {
  SimRig rig(InMonitor());
  InstallFirmware(rig, 0x3C00000);
  InstallLanguages(rig, 0x3B00000);
  rig.Ask("pf 3c00000 2\n");  // one bit of the image cleared
  rig.Ask("pf 3b00001 0\n");  // "S" of the language marker gone
  const sim::Instrument::Report report = rig.instrument.MakeReport();
  EXPECT_FALSE(report.firmware_valid);
  EXPECT_FALSE(report.languages_valid);
  EXPECT_TRUE(report.languages.empty());
  EXPECT_FALSE(report.rebooted);
}

TEST(SimReboot, BootingFromTheRamCardChecksTheLowerCopyOnly) {
  sim::InstrumentConfig config = InMonitor();
  config.boots_from_ram_card = true;
  SimRig rig(config);
  InstallFirmware(rig, 0x3C00000);
  InstallLanguages(rig, 0x3B00000);
  EXPECT_FALSE(rig.instrument.MakeReport().firmware_valid);
  EXPECT_FALSE(rig.instrument.MakeReport().languages_valid);
  InstallFirmware(rig, 0x3C00000 - kRamCardOffset);
  InstallLanguages(rig, 0x3B00000 - kRamCardOffset);
  EXPECT_TRUE(rig.instrument.MakeReport().firmware_valid);
  EXPECT_TRUE(rig.instrument.MakeReport().languages_valid);
}

TEST(SimReboot, FirmwareNeedsABootSectorThatIsThereAndWhole) {
  sim::InstrumentConfig config = InMonitor();
  config.factory_boot_sector = false;
  SimRig rig(config);
  InstallFirmware(rig, 0x3C00000);
  EXPECT_FALSE(rig.instrument.MakeReport().firmware_valid) << "blank boot sector";

  const std::vector<uint8_t> boot = TestPattern(0x10000);
  rig.Load(true, 0x3FF0000, std::vector<uint8_t>(boot.begin(), boot.begin() + 0x8000));
  EXPECT_FALSE(rig.instrument.MakeReport().firmware_valid) << "half written";
  rig.Load(true, 0x3FF8000, std::vector<uint8_t>(boot.begin() + 0x8000, boot.end()));
  const sim::Instrument::Report report = rig.instrument.MakeReport();
  EXPECT_TRUE(report.firmware_valid);

  ASSERT_EQ(report.regions.size(), 8u);
  const sim::Instrument::Report::Region& region = report.regions[1];
  EXPECT_EQ(region.name, "boot_sector");
  EXPECT_EQ(region.start, 0x3FF0000u);
  EXPECT_EQ(region.length, 0x10000u);
  EXPECT_EQ(region.sha256, sim::Sha256Hex(std::string(boot.begin(), boot.end())));
  EXPECT_EQ(report.regions[7].name, "ramcard_user_flash");
  EXPECT_EQ(report.regions[7].start, 0x2000000u);
  EXPECT_NE(rig.instrument.ReportJson().find(
                "\"boot_sector\": {\"start\": 67043328, \"length\": 65536, \"sha256\": \"" +
                region.sha256 + "\"}"),
            std::string::npos);

  ASSERT_EQ(rig.Ask("pf 3ff0000 0\n"), kPrompt);  // one more write after the sector was whole
  EXPECT_TRUE(rig.instrument.MakeReport().firmware_valid);
  ASSERT_EQ(rig.Ask("erase 3ff0000 10000 10000\n"), kPrompt);
  ASSERT_EQ(rig.Ask("pf 3ff0000 0\n"), kPrompt);
  EXPECT_FALSE(rig.instrument.MakeReport().firmware_valid) << "one byte after an erase";
}

}  // namespace
}  // namespace r7700::test
