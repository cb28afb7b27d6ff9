// No false success: one r7700-update --yes run against r7700-sim for every
// fault the simulator can inject. Whatever the fault, the exit status is 0
// exactly when the instrument rebooted with a valid marker on every part
// the run downloaded.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/processes.h"
#include "tests/cli/sample_homes.h"
#include "tests/cli/sim_state.h"

namespace r7700::cli {
namespace {

using Strings = std::vector<std::string>;

constexpr int kSucceeds = 0;
constexpr int kFails = 2;
constexpr int kRefused = 3;  // before the question; nothing was sent
constexpr int kInterrupted = 130;
constexpr int kTerminated = 143;

// Received bytes at which the line goes dead in the middle of the four
// marker writes (the boot monitor already running, so no identification
// retries shift the count): after the language image with --no-firmware,
// after the firmware image with --no-languages.
constexpr const char* kInLanguageMarker = "12770";
constexpr const char* kInFirmwareMarker = "4142892";

enum class ImageFault {
  kNone,
  kOneByteLong,
  kEmpty,
  kFolder,
  kFifo,
  kNoBootSector,
  kMissing,
  kRewrittenDuringTransfer  // the instrument must end with the image as planned
};

constexpr uint64_t kImageBytes = 0x400000;
constexpr uint64_t kBootSectorOffset = 0x3F0000;
constexpr uint8_t kImageMask = 0xA7;

// Where a case whose image is rewritten during the run keeps the image as
// the run read it at its start.
std::string PlannedImage(const std::string& home) {
  return home + "/vqvesk.planned";
}

// A copy of the full home whose firmware image has the fault; the full
// home itself when there is none.
std::string HomeWith(ImageFault fault, const std::string& name) {
  if (fault == ImageFault::kNone) return FullHome();
  namespace fs = std::filesystem;
  const fs::path home = MakeTempFolder("home-" + name);
  fs::copy(FullHome(), home, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  const fs::path image = home / "data" / "vqvesk.bin";
  switch (fault) {
    case ImageFault::kOneByteLong:
      std::ofstream(image, std::ios::binary | std::ios::app).put('\0');
      break;
    case ImageFault::kEmpty:
      fs::resize_file(image, 0);
      break;
    case ImageFault::kFolder:
      fs::remove(image);
      fs::create_directory(image);
      break;
    case ImageFault::kFifo:
      fs::remove(image);
      mkfifo(image.c_str(), 0600);
      break;
    case ImageFault::kNoBootSector:
      fs::resize_file(image, kBootSectorOffset);
      break;
    case ImageFault::kMissing:
      fs::remove(image);
      break;
    case ImageFault::kRewrittenDuringTransfer:
      fs::copy_file(image, PlannedImage(home.string()));
      break;
    case ImageFault::kNone:
      break;
  }
  return home.string();
}

struct FaultCase {
  const char* name;
  Strings sim_args;
  Strings tool_args;  // the firmware transfer takes long: most cases leave it out
  int status;
  // A command the instrument must have received, so the case reached the
  // step it is about; empty when any will do.
  std::string reaches = {};
  // Signals and standard output: a run that has started goes on unless it
  // is interrupted or terminated.
  Disturbance disturbance = {};
  // What is wrong with the firmware image of the case's own copy of the
  // home; such a run sends nothing at all.
  ImageFault image = ImageFault::kNone;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

const Strings kNoFirmware{"--no-firmware"};

Disturbance SignalAfter(int signal_number, const std::string& text) {
  Disturbance disturbance;
  disturbance.signal_number = signal_number;
  disturbance.signal_after = text;
  return disturbance;
}

Disturbance Output(Disturbance::Output output) {
  Disturbance disturbance;
  disturbance.output = output;
  return disturbance;
}

const std::vector<FaultCase> kFaultCases{
    {"Clean", {}, {}, kSucceeds},
    {"Silent", {"--silent"}, kNoFirmware, kFails},
    {"SeriesA", {"--series", "A"}, kNoFirmware, kFails},
    {"OnBattery", {"--power", "battery"}, kNoFirmware, kFails},
    {"Charging", {"--power", "charging"}, kNoFirmware, kSucceeds},
    {"AlreadyInMonitor", {"--in-monitor"}, kNoFirmware, kSucceeds},
    // The monitor cannot be asked for the power supply: the user is, and --yes answers.
    {"InMonitorOnBattery", {"--in-monitor", "--power", "battery"}, kNoFirmware, kSucceeds},
    {"BootsFromRamCard",
     {"--boot-from", "ramcard"},
     {"--no-firmware", "--boot-from", "ramcard"},
     kSucceeds},
    {"StaleEndLine", {"--stale-end"}, kNoFirmware, kSucceeds},
    {"PromptForBannerOnce", {"--prompt-for-banner", "1"}, kNoFirmware, kSucceeds},
    {"PromptForBannerAlways", {"--prompt-for-banner", "99"}, kNoFirmware, kFails},
    {"PromptForChecksumOnce", {"--prompt-for-checksum", "1"}, kNoFirmware, kSucceeds},
    {"PromptForChecksumAlways", {"--prompt-for-checksum", "99"}, kNoFirmware, kFails},
    // The test load's checksum comes garbled: loaded and asked again, unless
    // the single attempt is asked for or it never comes right.
    {"GarbledChecksumReply", {"--garble-checksum", "1"}, kNoFirmware, kSucceeds},
    {"GarbledChecksumReplyNoRepair",
     {"--garble-checksum", "1"},
     {"--no-firmware", "--no-repair"},
     kFails},
    {"GarbledChecksumReplyAlways", {"--garble-checksum", "99"}, kNoFirmware, kFails},
    {"NoAck", {"--no-ack"}, kNoFirmware, kFails},
    {"WrongAckOnALanguageBlock",
     {"--wrong-ack-on-block", "2"},
     {"--no-firmware", "--no-repair"},
     kFails},
    // Repair surveys the block's sector and finds it intact.
    {"WrongAckOnALanguageBlockRepaired", {"--wrong-ack-on-block", "2"}, kNoFirmware, kSucceeds},
    {"WrongChecksum", {"--wrong-checksum"}, kNoFirmware, kFails},
    {"SlowErase", {"--slow-erase", "5000"}, kNoFirmware, kSucceeds},
    {"NoiseInTheLanguageImage",
     {"--noise-every", "11000"},
     {"--no-firmware", "--no-repair"},
     kFails},
    {"NoiseInTheLanguageImageRepaired", {"--noise-every", "11000"}, kNoFirmware, kSucceeds},
    {"NoiseEverywhere", {"--noise-every", "50"}, kNoFirmware, kFails},
    {"FastOnAPacingInstrument", {}, {"--no-firmware", "--fast"}, kSucceeds},
    // A firmware block takes 102 ms to program, long past any delay of the
    // tool's own: its next block always meets a deaf instrument.
    {"FastOnAnUnpacedInstrument", {"--no-pacing"}, {"--no-languages", "--fast"}, kFails},
    {"DefaultOnAnUnpacedInstrument", {"--no-pacing"}, kNoFirmware, kSucceeds},
    {"SkipUnchangedOnABlankInstrument",
     {},
     {"--no-firmware", "--skip-unchanged"},
     kSucceeds,
     "crc 3b00000 10001"},
    {"UnplugDuringTestLoad", {"--unplug-after", "5000"}, kNoFirmware, kFails},
    {"UnplugDuringLanguageMarker",
     {"--in-monitor", "--unplug-after", kInLanguageMarker},
     kNoFirmware,
     kFails,
     "pf 3b00000 4a"},
    {"UnplugDuringFirmwareMarker",
     {"--in-monitor", "--unplug-after", kInFirmwareMarker},
     {"--no-languages"},
     kFails,
     "pf 3fefffc 4a"},
    {"NothingChosen", {}, {"--no-firmware", "--no-languages"}, kFails},
    // One flipped bit in block 405, the boot sector's: the region checksum
    // stops below it, so only the boot sector's own checksum sees it.
    {"FlippedBitInTheBootSector",
     {"--in-monitor", "--garble-byte", "3ff4800"},
     {"--no-languages", "--boot-sector"},
     kFails,
     "crc 3ff0000 10001"},
    {"MarkerWriteRefused",
     {"--in-monitor", "--garble-command", "pf 3b00000 4a=pf 2b00000 4a"},
     kNoFirmware,
     kFails,
     "pf 2b00000 4a"},
    {"MarkerWrittenElsewhere",
     {"--in-monitor", "--garble-command", "pf 3b00000 4a=pf 3b00002 4a"},
     kNoFirmware,
     kFails,
     "dm 3b00000"},
    {"FirmwareMarkerWrittenElsewhere",
     {"--in-monitor", "--garble-command", "pf 3fefffc 4a=pf 3fefffb 4a"},
     {"--no-languages"},
     kFails,
     "dm 3fefffc"},
    {"ImageOneByteLong", {}, {"--no-languages"}, kRefused, {}, {}, ImageFault::kOneByteLong},
    {"ImageEmpty", {}, {"--no-languages"}, kRefused, {}, {}, ImageFault::kEmpty},
    {"ImageIsAFolder", {}, {}, kRefused, {}, {}, ImageFault::kFolder},
    {"ImageIsAFifo", {}, {}, kRefused, {}, {}, ImageFault::kFifo},
    {"ImageWithoutBootSector",
     {},
     {"--no-languages", "--boot-sector"},
     kRefused,
     {},
     {},
     ImageFault::kNoBootSector},
    {"ImageMissing", {}, {}, kRefused, {}, {}, ImageFault::kMissing},
    // Saved over once the erase is done: the run sends the image it read.
    {"ImageRewrittenDuringTheTransfer",
     {"--in-monitor"},
     {"--no-languages", "--boot-sector"},
     kSucceeds,
     {},
     {.signal_after = "Erased !"},
     ImageFault::kRewrittenDuringTransfer},
    // Sent with the boot sector, outside every checksum: read back.
    {"WrongByteBeforeTheFirmwareMarker",
     {"--in-monitor", "--garble-byte", "3fefffb"},
     {"--no-languages", "--boot-sector"},
     kFails,
     "dm 3fefffb"},
    {"InterruptedWhileErasing",
     {},
     {"--no-languages"},
     kInterrupted,
     {},
     SignalAfter(SIGINT, "Erasing memory...")},
    // The events end with the interrupt, not with a failure it caused.
    {"InterruptedWithJsonWhileErasing",
     {},
     {"--no-firmware", "--json"},
     kInterrupted,
     {},
     SignalAfter(SIGINT, "Erasing languages")},
    {"TerminatedWhileErasing",
     {},
     kNoFirmware,
     kTerminated,
     {},
     SignalAfter(SIGTERM, "Erasing languages")},
    {"HungUpWhileErasing",
     {},
     kNoFirmware,
     kSucceeds,
     {},
     SignalAfter(SIGHUP, "Erasing languages")},
    {"OutputReaderGone", {}, kNoFirmware, kSucceeds, {}, Output(Disturbance::Output::kReaderGone)},
    {"OutputClosed", {}, kNoFirmware, kSucceeds, {}, Output(Disturbance::Output::kClosed)},
};

bool Downloads(const Strings& tool_args, const std::string& part) {
  return std::find(tool_args.begin(), tool_args.end(), "--no-" + part) == tool_args.end();
}

// With the boot sector asked for, the instrument must hold the image's,
// byte for byte: its marker does not cover it.
bool BootSectorAsAsked(const FaultCase& c, const std::string& home, SimState& state) {
  if (std::find(c.tool_args.begin(), c.tool_args.end(), "--boot-sector") == c.tool_args.end()) {
    return true;
  }
  const std::string image = c.image == ImageFault::kRewrittenDuringTransfer
                                ? PlannedImage(home)
                                : home + "/data/vqvesk.bin";
  return state.regions["boot_sector"].sha256 ==
         FileRangeSha256(image, kBootSectorOffset, kImageBytes - kBootSectorOffset, kImageMask);
}

class FaultTable : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTable, SuccessIsReportedExactlyWhenTheInstrumentHoldsValidImages) {
  ASSERT_FALSE(FullHome().empty());
  const FaultCase& c = GetParam();
  SimProcess sim(c.sim_args, kTestTimeScale);
  ASSERT_FALSE(sim.port().empty());
  const std::string home = HomeWith(c.image, c.name);
  Strings args{"--home", home, "--port", sim.port(), "--baud", "115200", "--yes"};
  args.insert(args.end(), c.tool_args.begin(), c.tool_args.end());
  Disturbance disturbance = c.disturbance;
  if (c.image == ImageFault::kRewrittenDuringTransfer) {
    disturbance.rewritten_file = home + "/data/vqvesk.bin";
  }
  disturbance.temp_folder = MakeTempFolder(std::string("tmp-") + c.name);
  const ToolResult run = RunDisturbedTool(args, std::to_string(kTestTimeScale), disturbance);
  SimState state = ParseSimState(sim.Stop());

  ASSERT_FALSE(run.timed_out);
  ASSERT_TRUE(state.valid);
  const bool images_valid = state.rebooted &&
                            (!Downloads(c.tool_args, "firmware") || state.firmware_valid) &&
                            (!Downloads(c.tool_args, "languages") || state.languages_valid) &&
                            BootSectorAsAsked(c, home, state);
  EXPECT_EQ(run.status == 0, images_valid)
      << "status " << run.status << ", rebooted " << state.rebooted << ", firmware "
      << state.firmware_valid << ", languages " << state.languages_valid << "\n"
      << run.out << "\n"
      << run.err;
  EXPECT_EQ(run.status, c.status) << run.err;
  if (!c.reaches.empty()) {
    EXPECT_TRUE(SawCommand(state, c.reaches)) << c.reaches;
  }
  // A bad image is refused before the port is opened.
  if (c.image != ImageFault::kNone && c.image != ImageFault::kRewrittenDuringTransfer) {
    EXPECT_TRUE(state.commands.empty()) << state.commands.front();
  }
  // A failure always says why, an interrupt what to do, a refusal why in
  // its one line; success always shows the SUCCESS box.
  const char* says = run.status == 0          ? "SUCCESS: "
                     : run.status > 128       ? "run the same command again"
                     : run.status == kRefused ? "r7700-update: Firmware image "
                                              : "Error!: ";
  EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
  // With --json the last record says how the run ended, and an interrupt
  // shows no box.
  if (std::find(c.tool_args.begin(), c.tool_args.end(), "--json") != c.tool_args.end()) {
    const std::string last = run.out.substr(run.out.rfind("{\"t\": "));
    const char* outcome = run.status == 0 ? "success" : run.status > 128 ? "interrupted" : "failed";
    EXPECT_NE(last.find(std::string("\"outcome\": \"") + outcome + "\""), std::string::npos)
        << last;
    if (run.status > 128) {
      EXPECT_EQ(run.out.find("\"event\": \"box\""), std::string::npos) << run.out;
    }
  }
  // The temporary language image is gone on every way out.
  EXPECT_TRUE(std::filesystem::is_empty(disturbance.temp_folder));
}

std::string CaseName(const ::testing::TestParamInfo<FaultCase>& param) {
  return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(EveryFault, FaultTable, ::testing::ValuesIn(kFaultCases), CaseName);

}  // namespace
}  // namespace r7700::cli
