// Loader verification against the simulated instrument and its faults, on
// its own and as the last stage of a connection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogue/connection.h"
#include "dialogue/loader_verification.h"
#include "tests/dialogue/scripted_line.h"
#include "tests/dialogue/sim_rig.h"

namespace r7700 {
namespace {

constexpr char kCyclePower[] =
    "The connection to the OTDR is not reliable!\nPlease check the cable / reduce the baudrate "
    "and cycle power!";
constexpr char kConnectedLog[] =
    "Initializing connection ...\r\nConnecting to target\r\nChange baudrate\r\n";

sim::InstrumentConfig MonitorAt19200() {
  sim::InstrumentConfig config;
  config.in_monitor = true;
  return config;
}

void ExpectCyclePowerBox(DialogueRig& rig) {
  ASSERT_EQ(rig.window.boxes().size(), 1u);
  EXPECT_EQ(rig.window.boxes()[0].text, kCyclePower);
  EXPECT_EQ(rig.window.boxes()[0].caption, "Error!");
}

TEST(LoaderSim, DownloaderThatNeverAnnouncesItselfFailsTheConnection) {
  sim::InstrumentConfig config;
  config.faults.prompt_instead_of_banner = 6;
  DialogueRig rig(config);
  EXPECT_EQ(EstablishConnection(rig.run, rig.port.get(), 57600), kConnectionFailed);
  ExpectCyclePowerBox(rig);
  // Each of the five prompts read in place of the banner resent the command.
  EXPECT_EQ(Occurrences(rig.Sent(), "ramload\n"), 6);
  EXPECT_EQ(Occurrences(rig.Sent(), "crc "), 0);
  EXPECT_EQ(rig.Log(), std::string(kConnectedLog) + "Check download...\r\n");
}

TEST(LoaderSim, PromptInPlaceOfTheBannerResendsTheCommand) {
  sim::InstrumentConfig config = MonitorAt19200();
  config.faults.prompt_instead_of_banner = 2;
  DialogueRig late(config);
  EXPECT_EQ(VerifyTestLoad(late.run, late.port.get()), kTestLoadOk);
  EXPECT_EQ(Occurrences(late.Sent(), "ramload\n"), 3);
  EXPECT_EQ(late.Log(), "Check download...\r\n");
}

TEST(LoaderSim, WrongChecksumFailsTheConnection) {
  sim::InstrumentConfig config;
  config.faults.wrong_checksum = true;
  DialogueRig rig(config);
  EXPECT_EQ(EstablishConnection(rig.run, rig.port.get(), 115200), kConnectionFailed);
  ExpectCyclePowerBox(rig);
  EXPECT_EQ(rig.Log(), std::string(kConnectedLog) + "Check download...\r\nChecksum wrong!!!\r\n");
  EXPECT_EQ(rig.instrument.commands().back(), "crc 840000 2800");
}

TEST(LoaderSim, PromptInPlaceOfTheChecksumResendsTheQuery) {
  sim::InstrumentConfig config;
  config.faults.prompt_instead_of_checksum = 1;
  DialogueRig rig(config);
  EXPECT_EQ(EstablishConnection(rig.run, rig.port.get(), 38400), kConnected);
  EXPECT_EQ(Occurrences(rig.Sent(), "crc 840000 2800\n"), 2);
  EXPECT_EQ(rig.Log(), std::string(kConnectedLog) + "Check download...\r\nChecks done!\r\n");
}

TEST(LoaderSim, TwoPromptsInPlaceOfTheChecksumPushItPastTheThirdRead) {
  // Each prompt counts twice, so the checksum behind two of them comes at
  // count 5 and is answered with a nudge instead of being taken.
  sim::InstrumentConfig config = MonitorAt19200();
  config.faults.prompt_instead_of_checksum = 2;
  DialogueRig rig(config);
  EXPECT_EQ(VerifyTestLoad(rig.run, rig.port.get()), kTestLoadMismatch);
  EXPECT_EQ(rig.Log(), "Check download...\r\nChecksum wrong!!!\r\n");
  EXPECT_TRUE(rig.Sent().find("crc 840000 2800\ncrc 840000 2800\ncrc 840000 2800\n\n") !=
              std::string::npos);
}

TEST(LoaderSim, WrongAcknowledgementIsATransmissionError) {
  sim::InstrumentConfig config = MonitorAt19200();
  config.faults.wrong_ack_on_block = 0;
  DialogueRig rig(config);
  EXPECT_EQ(VerifyTestLoad(rig.run, rig.port.get()), kTestLoadMismatch);
  EXPECT_EQ(rig.Log(), "Check download...\r\nTransmission error!\r\n");
  // Nothing follows the block: no end block, no checksum query.
  EXPECT_TRUE(rig.Sent().ends_with(std::string(1, '\xFF')));
  EXPECT_EQ(rig.window.GetText(IDC_COUNTER), "10240 = 100%");
}

TEST(LoaderSim, MissingAcknowledgementPassesAsTheXorOfThePatternIsZero) {
  sim::InstrumentConfig config = MonitorAt19200();
  config.faults.no_ack = true;
  DialogueRig rig(config);
  EXPECT_EQ(VerifyTestLoad(rig.run, rig.port.get()), kTestLoadOk);
  EXPECT_EQ(rig.Log(), "Check download...\r\n");
  EXPECT_EQ(rig.window.GetText(IDC_PROGRESS_CAPTION), "Checking Step1 ...");
}

TEST(LoaderSim, DumpStopsAtTheFirstRowThatDiffers) {
  DialogueRig rig(MonitorAt19200());
  ASSERT_EQ(VerifyTestLoad(rig.run, rig.port.get()), kTestLoadOk);
  rig.instrument.Load(kTestLoadAddress + 0x2F, {0x00});
  EXPECT_EQ(VerifyTestDump(rig.run, rig.port.get()), kDumpMismatch);
  EXPECT_EQ(rig.instrument.commands().back(), "dm 840020");
  EXPECT_EQ(rig.window.GetText(IDC_COUNTER), "3 = 50%");
}

}  // namespace
}  // namespace r7700
