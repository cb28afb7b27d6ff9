// --fast against the in-process instrument: it succeeds where the
// instrument paces itself, and fails safely (no valid marker) where the
// instrument acknowledges a block on receipt and loses what arrives while it
// programs. The default dialogue copes with both.
#include <gtest/gtest.h>

#include "download/firmware_download.h"
#include "languages/language_download.h"
#include "tests/download/sim_rig.h"

namespace r7700 {
namespace {

using test::MonitorConfig;
using test::SimRig;

constexpr int32_t kFastBaud = 115200;

enum class Download { kFirmware, kLanguages };

struct Case {
  const char* name;
  Download which;
  bool no_pacing;
  bool fast;
  int result;
};

class FastPacingTest : public ::testing::TestWithParam<Case> {};

TEST_P(FastPacingTest, SucceedsOnlyWithValidImage) {
  const Case c = GetParam();
  // At 115200 baud a block's programming outlasts what the receive FIFO
  // holds of the next one.
  sim::InstrumentConfig config = MonitorConfig({.no_pacing = c.no_pacing});
  config.initial_baud = kFastBaud;
  SimRig rig(config);
  ASSERT_TRUE(SetPortBaud(rig.port.get(), kFastBaud).ok);
  rig.run.policy.instrument_paced = c.fast;
  const std::vector<uint8_t> languages = test::PatternBytes(40000, 9);
  int result = 0;
  if (c.which == Download::kFirmware) {
    rig.run.firmware_image_path = test::TestTempPath("vqvesk.bin");
    test::WriteMaskedFirmware(rig.run.firmware_image_path, kFirmwareRegionBytes);
    result = DownloadFirmwareImage(rig.run, rig.port.get());
  } else {
    rig.run.language_image_path = test::WriteTempFile("lang.img", languages);
    result = DownloadLanguageImage(rig.run, rig.port.get());
  }

  EXPECT_EQ(result, c.result) << rig.Log();
  const sim::Instrument::Report report = rig.instrument.MakeReport();
  if (c.which == Download::kFirmware) {
    EXPECT_EQ(report.firmware_valid, result == 0);
    if (result == 0) {
      EXPECT_EQ(rig.instrument.Read(FlashBase, kFirmwareDataLimitOffset),
                std::vector<uint8_t>(test::FirmwareImage().begin(),
                                     test::FirmwareImage().begin() + kFirmwareDataLimitOffset));
    }
  } else {
    EXPECT_EQ(report.languages_valid, result == 0);
    if (result == 0) {
      EXPECT_EQ(rig.instrument.Read(kLanguageAreaBase + 4, 40000), languages);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Instruments, FastPacingTest,
    ::testing::Values(Case{"FirmwareFastPaced", Download::kFirmware, false, true, 0},
                      Case{"FirmwareFastUnpaced", Download::kFirmware, true, true, -1},
                      Case{"FirmwareDefaultUnpaced", Download::kFirmware, true, false, 0},
                      Case{"LanguagesFastPaced", Download::kLanguages, false, true, 0},
                      Case{"LanguagesFastUnpaced", Download::kLanguages, true, true, -1},
                      Case{"LanguagesDefaultUnpaced", Download::kLanguages, true, false, 0}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace r7700
