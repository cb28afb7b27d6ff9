#include "app/update_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/resources/resource.h"
#include "tests/app/run_rig.h"

namespace r7700 {
namespace {

using test::RunRig;

constexpr std::string_view kVerifyText = "Did you connect and configure\n the OTDR? (19200 Baud)";
constexpr std::string_view kRetryText =
    "Failed to connect to OTDR!\nCheck connection & baudrate!\nTry again?";
constexpr std::string_view kDownloadFailedText =
    "Firmware download failed!\nPlease turn the instrument on/off and try again with 19200Baud!";
const std::vector<std::string> kOpenedAndClosed{"open", "line 19200", "speed 19200", "close"};

// Deutsch as boot language forces English into the second slot.
constexpr std::string_view kRestrictedSettings =
    "[LanguageDefaults]\nLanguage1=Deutsch\nLanguage2=None\nLanguage3=Francais\nLanguage4=None\n";

std::vector<std::string> Texts(std::initializer_list<std::string_view> texts) {
  return {texts.begin(), texts.end()};
}

std::string LastCommand(const sim::Instrument& instrument) {
  return instrument.commands().empty() ? std::string() : instrument.commands().back();
}

bool AnyCommandStartsWith(const sim::Instrument& instrument, std::string_view prefix) {
  for (const std::string& command : instrument.commands()) {
    if (command.starts_with(prefix)) return true;
  }
  return false;
}

TEST(UpdateRunConfirm, NoAtVerifyEndsQuietly) {
  RunRig rig;
  rig.window.SetText(IDC_STATUS_LOG, "lines of the last run\r\n");
  std::string log_at_question = "not asked";
  int focus_at_question = 0;
  rig.window.set_answerer([&](const ShownBox&) {
    log_at_question = rig.Log();
    focus_at_question = rig.window.focus();
    return BoxAnswer::kNo;
  });

  EXPECT_EQ(rig.Run(), kRunDeclined);
  ASSERT_EQ(rig.window.boxes().size(), 1u);
  const ShownBox& box = rig.window.boxes()[0];
  EXPECT_EQ(box.text, kVerifyText);
  EXPECT_EQ(box.caption, "Verify");
  EXPECT_EQ(box.icon, BoxIcon::kWarning);
  EXPECT_EQ(box.buttons, BoxButtons::kYesNo);
  EXPECT_EQ(log_at_question, "");
  EXPECT_EQ(focus_at_question, IDC_STATUS_LOG);
  EXPECT_EQ(rig.Log(), "");
  EXPECT_TRUE(rig.cable.events.empty());
  EXPECT_TRUE(rig.sim_backend.sent().empty());
  EXPECT_FALSE(rig.folder.Exists("lng1"));
  EXPECT_EQ(rig.window.success_boxes(), 0);
}

// The languages only: the run builds the image, connects at the chosen
// speed over a port opened at 19200, loads the languages and reboots; the
// firmware is left alone.
class UpdateRunSpeed : public ::testing::TestWithParam<int> {};

TEST_P(UpdateRunSpeed, ConnectsRebootsAndShowsSuccess) {
  const int position = GetParam();
  const std::string rate = std::to_string(BaudRateTable[static_cast<size_t>(position)]);
  RunRig rig;
  rig.window.ListSelect(IDC_BAUD_LIST, position);
  rig.window.SetText(IDC_STATUS_LOG, "lines of the last run\r\n");
  rig.window.SetChecked(IDC_BOOT_FLASH, false);
  rig.window.SetChecked(IDC_BOOT_RAMCARD, true);
  rig.window.SetChecked(IDC_DOWNLOAD_BOOT_SECTOR, true);
  rig.window.SetChecked(IDC_ERASE_USER_FLASH, true);
  rig.window.SetChecked(IDC_DOWNLOAD_LANGUAGES, true);

  EXPECT_EQ(rig.Run(), kRunSucceeded) << rig.Log();
  EXPECT_EQ(rig.BoxTexts(), Texts({kVerifyText}));
  EXPECT_EQ(rig.window.success_boxes(), 1);
  EXPECT_EQ(rig.cable.events,
            (std::vector<std::string>{"open", "line 19200", "speed " + rate, "close"}));
  EXPECT_TRUE(AnyCommandStartsWith(rig.instrument, "baud " + rate));
  EXPECT_EQ(rig.instrument.baud(), BaudRateTable[static_cast<size_t>(position)]);
  EXPECT_TRUE(rig.Sent().ends_with("\nreboot\n"));
  EXPECT_EQ(LastCommand(rig.instrument), "reboot");
  EXPECT_TRUE(rig.instrument.MakeReport().rebooted);
  EXPECT_FALSE(AnyCommandStartsWith(rig.instrument, "erase 24"));
  EXPECT_TRUE(AnyCommandStartsWith(rig.instrument, "erase 2300000 100000"));
  EXPECT_TRUE(rig.Log().starts_with("Preparing languages ...\r\nInitializing connection ...\r\n"));
  EXPECT_TRUE(rig.folder.Exists("lng1"));
  EXPECT_TRUE(rig.app.run_options.boot_from_ram_card);
  EXPECT_TRUE(rig.app.run_options.with_boot_sector);
  EXPECT_TRUE(rig.app.run_options.erase_user_flash);
  EXPECT_TRUE(rig.PortFree());
}

INSTANTIATE_TEST_SUITE_P(ChosenRates, UpdateRunSpeed, ::testing::Values(0, 1, 2, 4));

TEST(UpdateRunRetry, CablePluggedInBeforeYesGoesOnOnTheSamePort) {
  RunRig rig;
  rig.window.SetChecked(IDC_DOWNLOAD_LANGUAGES, true);
  rig.cable.plugged = false;
  rig.window.set_answerer([&](const ShownBox& box) {
    if (box.caption == "Connection Failed!") rig.cable.plugged = true;
    return BoxAnswer::kYes;
  });

  EXPECT_EQ(rig.Run(), kRunSucceeded) << rig.Log();
  ASSERT_EQ(rig.BoxTexts(), Texts({kVerifyText, kRetryText}));
  const ShownBox& retry = rig.window.boxes()[1];
  EXPECT_EQ(retry.caption, "Connection Failed!");
  EXPECT_EQ(retry.icon, BoxIcon::kWarning);
  EXPECT_EQ(retry.buttons, BoxButtons::kYesNo);
  EXPECT_EQ(rig.cable.events, kOpenedAndClosed);
  EXPECT_TRUE(rig.Sent().starts_with("*idn?\n"));
  EXPECT_EQ(LastCommand(rig.instrument), "reboot");
  EXPECT_EQ(rig.window.success_boxes(), 1);
}

class UpdateRunUnidentified : public ::testing::Test {
 protected:
  static sim::InstrumentConfig Silent() {
    sim::InstrumentConfig config;
    config.faults.silent = true;
    return config;
  }
  void SetUp() override { rig_.window.SetChecked(IDC_DOWNLOAD_LANGUAGES, true); }
  RunRig rig_{Silent()};
};

TEST_F(UpdateRunUnidentified, RetryDeclinedClosesPortWithoutFurtherBox) {
  rig_.window.set_answerer([](const ShownBox& box) {
    return box.caption == "Verify" ? BoxAnswer::kYes : BoxAnswer::kNo;
  });
  EXPECT_EQ(rig_.Run(), kRunFailed);
  EXPECT_EQ(rig_.BoxTexts(), Texts({kVerifyText, kRetryText}));
  EXPECT_EQ(rig_.cable.events, (std::vector<std::string>{"open", "line 19200", "close"}));
  EXPECT_TRUE(rig_.PortFree());
  EXPECT_EQ(rig_.window.success_boxes(), 0);
}

TEST_F(UpdateRunUnidentified, SecondSilenceAborts) {
  EXPECT_EQ(rig_.Run(), kRunFailed);
  ASSERT_EQ(rig_.BoxTexts(), Texts({kVerifyText, kRetryText, "Failed again, aborting!"}));
  EXPECT_EQ(rig_.window.boxes()[2].caption, "Error!");
  EXPECT_EQ(rig_.window.boxes()[2].icon, BoxIcon::kError);
  EXPECT_EQ(rig_.cable.events, (std::vector<std::string>{"open", "line 19200", "close"}));
  EXPECT_TRUE(rig_.PortFree());
  EXPECT_NE(LastCommand(rig_.instrument), "reboot");
}

// Failures of the image build stop the run before the port is opened, even
// with the language download switched off.
struct ImageFailure {
  const char* name;
  void (*arrange)(RunRig&);
  std::string (*box)(RunRig&);
  std::string (*log)(RunRig&);
};

std::string NoLog(RunRig&) {
  return "";
}

const ImageFailure kImageFailures[] = {
    {"CannotCreateImage",
     [](RunRig& rig) { rig.app.paths.temp_image_path = rig.folder.Path("gone/lng1").string(); },
     [](RunRig&) { return std::string("Error initializing the languages!"); },
     [](RunRig& rig) {
       return "Preparing languages ...\r\nCannot create temporary file " +
              rig.folder.Path("gone/lng1").string() + "!\r\n";
     }},
    // The catalogue is re-read for the image; Francais, third, is never
    // tried: its missing module would be logged.
    {"LanguageNotFound",
     [](RunRig& rig) {
       rig.folder.WriteData("lang.cfg",
                            "English,eng1.bin,eng2.bin,engf.bin,1,10,0\n"
                            "Francais,fra1.bin,fra2.bin,0,3,30,0\n");
       std::filesystem::remove(rig.folder.Path("data/fra1.bin"));
       rig.app.selected[2] = 3;
     },
     [](RunRig&) { return std::string("Error building the languages!"); },
     [](RunRig&) {
       return std::string("Preparing languages ...\r\nLanguage Deutsch not found!\r\n");
     }},
    {"ModuleMissing",
     [](RunRig& rig) { std::filesystem::remove(rig.folder.Path("data/deu2.bin")); },
     [](RunRig&) { return std::string("Error building the languages!"); },
     [](RunRig& rig) {
       return "Preparing languages ...\r\nCannot open " +
              DataFilePath(rig.folder.paths(), "deu2.bin") + "!\r\n";
     }},
    {"TooLarge", [](RunRig& rig) { rig.folder.WriteData("deu1.bin", std::string(0x100000, 'd')); },
     [](RunRig&) {
       return std::string("Selected languages too large!\nPlease deselect one language!");
     },
     [](RunRig&) { return std::string("Preparing languages ...\r\n"); }},
    // Checked before the image is built: nothing to do is no success, and an
    // image of the wrong size would be found out only after the erase.
    {"NothingChosen", [](RunRig& rig) { rig.window.SetChecked(IDC_DOWNLOAD_FIRMWARE, false); },
     [](RunRig&) {
       return std::string(
           "Nothing to download!\nPlease choose the firmware, the languages or both!");
     },
     NoLog},
    {"FirmwareOneByteShort",
     [](RunRig& rig) { rig.folder.WriteData("vqvesk.bin", std::string(0x3FFFFF, 'x')); },
     [](RunRig& rig) {
       return "Firmware image " + rig.app.paths.firmware_path + " has 4194303 bytes, not 4194304!";
     },
     NoLog},
    {"FirmwareIsAFolder",
     [](RunRig& rig) {
       std::filesystem::remove(rig.folder.Path("data/vqvesk.bin"));
       std::filesystem::create_directory(rig.folder.Path("data/vqvesk.bin"));
     },
     [](RunRig& rig) {
       return "Firmware image " + rig.app.paths.firmware_path + " is not a regular file!";
     },
     NoLog},
};

class UpdateRunImage : public ::testing::TestWithParam<ImageFailure> {};

TEST_P(UpdateRunImage, StopsBeforeThePortIsOpened) {
  RunRig rig;
  rig.window.SetChecked(IDC_DOWNLOAD_FIRMWARE, true);
  GetParam().arrange(rig);
  ASSERT_FALSE(rig.window.IsChecked(IDC_DOWNLOAD_LANGUAGES));

  EXPECT_EQ(rig.Run(), kRunFailed);
  ASSERT_EQ(rig.BoxTexts(), Texts({kVerifyText, GetParam().box(rig)}));
  EXPECT_EQ(rig.window.boxes()[1].caption, "Error!");
  EXPECT_EQ(rig.window.boxes()[1].icon, BoxIcon::kError);
  EXPECT_EQ(rig.window.boxes()[1].buttons, BoxButtons::kOk);
  EXPECT_EQ(rig.Log(), GetParam().log(rig));
  EXPECT_TRUE(rig.cable.events.empty());
  EXPECT_TRUE(rig.sim_backend.sent().empty());
  EXPECT_EQ(rig.window.success_boxes(), 0);
}

INSTANTIATE_TEST_SUITE_P(Failures, UpdateRunImage, ::testing::ValuesIn(kImageFailures),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

TEST(UpdateRunPort, BusyPortShowsBothBoxes) {
  RunRig rig;
  rig.window.SetChecked(IDC_DOWNLOAD_LANGUAGES, true);
  const std::unique_ptr<SerialConnection> other_program = rig.sim_backend.Open("SIM").port;
  ASSERT_NE(other_program, nullptr);

  EXPECT_EQ(rig.Run(), kRunFailed);
  ASSERT_EQ(rig.BoxTexts(), Texts({kVerifyText, "Cannot open COM port SIM !\nError nr.: 104",
                                   "Failed to initialize Interface!"}));
  EXPECT_EQ(rig.window.boxes()[1].caption, "ERROR");
  EXPECT_EQ(rig.window.boxes()[2].caption, "Error!");
  EXPECT_TRUE(rig.sim_backend.sent().empty());
  EXPECT_EQ(rig.Log(), "Preparing languages ...\r\n");
}

// A speed the PC end refuses stops the run there, saying so: at the opening
// speed before anything is sent, at the chosen one after the monitor has
// been told (nothing follows its "baud" command).
TEST(UpdateRunPort, RefusedSpeedStopsTheRunAndSaysWhy) {
  struct Case {
    int32_t refused;
    std::vector<std::string> boxes;
    std::vector<std::string> events;
    std::string sent_ends;  // empty: nothing was sent
  };
  const std::string reason = "the PC's UART cannot run at that speed";
  const std::vector<Case> cases{
      {19200,
       {std::string(kVerifyText), "COM port SIM refused 19200 baud: " + reason + " !",
        "Failed to initialize Interface!"},
       {"open", "line 19200", "close"},
       ""},
      {115200,
       {std::string(kVerifyText), "COM port SIM refused 115200 baud: " + reason +
                                      " !\nPlease choose another baudrate and cycle power!"},
       {"open", "line 19200", "speed 115200", "close"},
       "\nbaud 115200\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refused);
    RunRig rig;
    rig.window.SetChecked(IDC_DOWNLOAD_LANGUAGES, true);
    rig.window.ListSelect(IDC_BAUD_LIST, 4);
    rig.sim_backend.RefuseSpeed(c.refused);

    EXPECT_EQ(rig.Run(), kRunFailed);
    EXPECT_EQ(rig.BoxTexts(), c.boxes);
    EXPECT_EQ(rig.window.boxes().back().caption, "Error!");
    EXPECT_EQ(rig.cable.events, c.events);
    if (c.sent_ends.empty()) {
      EXPECT_EQ(rig.Sent(), "");
    } else {
      EXPECT_TRUE(rig.Sent().ends_with(c.sent_ends)) << rig.Sent();
    }
    EXPECT_EQ(rig.sim_backend.pc_baud(), c.refused == 19200 ? 9600 : 19200);
    EXPECT_TRUE(rig.PortFree());
  }
}

TEST(UpdateRunConnection, DefiniteFailureShowsOnlyItsOwnBox) {
  sim::InstrumentConfig battery;
  battery.power = sim::Power::kBattery;
  RunRig rig(battery);
  rig.window.SetChecked(IDC_DOWNLOAD_FIRMWARE, true);

  EXPECT_EQ(rig.Run(), kRunFailed);
  EXPECT_EQ(rig.BoxTexts(), Texts({kVerifyText,
                                   "You must have an AC-supply connected to the OTDR!\nPlease "
                                   "connect AC and press Start again!"}));
  EXPECT_EQ(rig.cable.events, (std::vector<std::string>{"open", "line 19200", "close"}));
  EXPECT_TRUE(rig.PortFree());
  EXPECT_FALSE(AnyCommandStartsWith(rig.instrument, "reboot"));
}

// The firmware download fails when the line goes dead halfway through the
// image; the language download when a block's acknowledgement is wrong (the
// test load takes the first block, so block 2 is the language download's).
struct DownloadFailure {
  const char* name;
  bool firmware;
  sim::Faults faults;
  std::string_view log_end;  // the failing stage's last words
};

const DownloadFailure kDownloadFailures[] = {
    {"Firmware", true, {.unplug_after_bytes = 100000}, "Board does not repsond!"},
    {"Languages", false, {.wrong_ack_on_block = 2}, "Transmission error!"},
};

class UpdateRunDownload : public ::testing::TestWithParam<DownloadFailure> {};

TEST_P(UpdateRunDownload, FailureSkipsTheRestAndTheReboot) {
  sim::InstrumentConfig config;
  config.faults = GetParam().faults;
  RunRig rig(config);
  rig.window.SetChecked(IDC_DOWNLOAD_FIRMWARE, GetParam().firmware);
  rig.window.SetChecked(IDC_DOWNLOAD_LANGUAGES, true);

  EXPECT_EQ(rig.Run(), kRunFailed);
  EXPECT_TRUE(rig.Log().ends_with(GetParam().log_end)) << rig.Log();
  ASSERT_EQ(rig.BoxTexts(), Texts({kVerifyText, kDownloadFailedText}));
  EXPECT_EQ(rig.window.boxes()[1].caption, "Error!");
  EXPECT_EQ(rig.cable.events, kOpenedAndClosed);
  EXPECT_TRUE(rig.PortFree());
  EXPECT_FALSE(AnyCommandStartsWith(rig.instrument, "reboot"));
  // The language area starts at 3b00000: a firmware failure never reaches it.
  EXPECT_EQ(AnyCommandStartsWith(rig.instrument, "erase 3b00000"), !GetParam().firmware);
  EXPECT_EQ(AnyCommandStartsWith(rig.instrument, "erase 3c00000"), GetParam().firmware);
  EXPECT_EQ(rig.window.success_boxes(), 0);
}

INSTANTIATE_TEST_SUITE_P(Stages, UpdateRunDownload, ::testing::ValuesIn(kDownloadFailures),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

TEST(UpdateRunRestricted, LoadsFirmwareAndLanguagesAtFlashAddresses) {
  RunRig rig({}, "veskotdr.ini", kRestrictedSettings);
  rig.window.ListSelect(IDC_BAUD_LIST, 4);
  for (int box : {IDC_BOOT_RAMCARD, IDC_DOWNLOAD_BOOT_SECTOR, IDC_ERASE_USER_FLASH}) {
    ASSERT_TRUE(rig.window.IsChecked(box));
  }

  EXPECT_EQ(rig.Run(), kRunSucceeded) << rig.Log();
  EXPECT_EQ(rig.BoxTexts(), Texts({kVerifyText}));
  EXPECT_EQ(rig.window.success_boxes(), 1);
  EXPECT_FALSE(rig.app.run_options.boot_from_ram_card);
  EXPECT_FALSE(rig.app.run_options.with_boot_sector);
  EXPECT_FALSE(rig.app.run_options.erase_user_flash);
  EXPECT_EQ(rig.cable.events,
            (std::vector<std::string>{"open", "line 19200", "speed 115200", "close"}));

  const sim::Instrument::Report report = rig.instrument.MakeReport();
  EXPECT_TRUE(report.rebooted);
  EXPECT_TRUE(report.firmware_valid);
  EXPECT_TRUE(report.languages_valid);
  EXPECT_EQ(report.languages, (std::vector<std::string>{"Deutsch", "English", "Francais"}));
  const std::string firmware = test::FirmwareBytes();
  const std::vector<uint8_t> programmed = rig.instrument.Read(0x3C00000, 0x3EFFFB);
  EXPECT_TRUE(std::equal(programmed.begin(), programmed.end(), firmware.begin(),
                         [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));
  const std::string image = rig.folder.Read("lng1");
  const std::vector<uint8_t> area =
      rig.instrument.Read(0x3B00004, static_cast<uint32_t>(image.size()));
  EXPECT_EQ(std::string(area.begin(), area.end()), image);
  EXPECT_TRUE(rig.Sent().ends_with("\nreboot\n"));
}

}  // namespace
}  // namespace r7700
