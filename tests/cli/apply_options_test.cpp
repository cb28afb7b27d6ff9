#include "app/cli/command_line/apply_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/language_lists.h"
#include "app/resources/resource.h"
#include "link/memory_window.h"
#include "link/serial_port.h"

namespace r7700::cli {
namespace {

using Strings = std::vector<std::string>;

// The request after a start-up in the given mode: catalogue English, Deutsch,
// Francais; settings English + Deutsch; Full-mode boxes from the defaults.
class ApplyOptionsTest : public ::testing::Test {
 protected:
  void StartUp(SettingsMode mode) {
    app_.choices.rows[0].name = "None";
    app_.choices.rows[1].name = "English";
    app_.choices.rows[2].name = "Deutsch";
    app_.choices.rows[3].name = "Francais";
    app_.selected = {1, 2, 0, 0};
    app_.settings.mode = mode;
    FillBaudList(window_);
    FillLanguageLists(window_, app_.choices, app_.selected);
    const bool full = mode == SettingsMode::kFull;
    window_.SetChecked(IDC_DOWNLOAD_LANGUAGES, true);
    window_.SetChecked(IDC_DOWNLOAD_FIRMWARE, true);
    window_.SetChecked(IDC_DOWNLOAD_BOOT_SECTOR, !full);
    window_.SetChecked(IDC_ERASE_USER_FLASH, !full);
    window_.SetChecked(IDC_BOOT_FLASH, true);
    window_.SetChecked(IDC_BOOT_RAMCARD, !full);
    request_ = ReadUpdateRequest(app_, window_);
  }

  bool Apply(const Strings& args) {
    CliOptions options;
    EXPECT_TRUE(ParseCliOptions(args, &options, &problem_)) << problem_;
    return ApplyCliOptions(options, app_, request_, &problem_, &notice_);
  }

  // Languages, firmware, boot sector, user flash erased, booting from the RAM card.
  std::vector<bool> Choices() const {
    return {request_.download_languages, request_.download_firmware,
            request_.options.with_boot_sector, request_.options.erase_user_flash,
            request_.options.boot_from_ram_card};
  }

  AppState app_;
  MemoryWindow window_;
  UpdateRequest request_;
  std::string problem_;
  std::string notice_;
};

TEST_F(ApplyOptionsTest, WithoutOptionsTheSettingsStand) {
  StartUp(SettingsMode::kFull);
  ASSERT_TRUE(Apply({}));
  EXPECT_EQ(request_.languages, (SelectedLanguages{1, 2, 0, 0}));
  EXPECT_EQ(request_.baud, 19200);
  EXPECT_EQ(Choices(), (std::vector<bool>{true, true, false, false, false}));
  EXPECT_EQ(notice_, "");
}

TEST_F(ApplyOptionsTest, LanguagesReplaceAllFourSlotsInOrder) {
  StartUp(SettingsMode::kFull);
  ASSERT_TRUE(Apply({"--lang", "English", "--lang", "None", "--lang", "Francais"}));
  EXPECT_EQ(app_.selected, (SelectedLanguages{1, 0, 3, 0}));
  EXPECT_EQ(request_.languages, app_.selected);
  EXPECT_EQ(notice_, "");
}

TEST_F(ApplyOptionsTest, TheSecondLanguageRuleOverridesTheChoiceAndSaysSo) {
  StartUp(SettingsMode::kFull);
  ASSERT_TRUE(Apply({"--lang", "Deutsch", "--lang", "Francais"}));
  // Francais is kept, in the next free slot.
  EXPECT_EQ(app_.selected, (SelectedLanguages{2, 1, 3, 0}));
  EXPECT_EQ(request_.languages, app_.selected);
  EXPECT_EQ(notice_,
            "the second language is English, not Francais: English is always loaded unless it is "
            "the boot language; Francais is loaded third");

  // English asked for later moves up; a language asked twice is refused.
  StartUp(SettingsMode::kFull);
  ASSERT_TRUE(Apply({"--lang", "Deutsch", "--lang", "Francais", "--lang", "English"}));
  EXPECT_EQ(app_.selected, (SelectedLanguages{2, 1, 3, 0}));
  StartUp(SettingsMode::kFull);
  EXPECT_FALSE(
      Apply({"--lang", "Deutsch", "--lang", "Francais", "--lang", "None", "--lang", "Francais"}));
  EXPECT_EQ(problem_, "--lang Francais given twice");

  // A boot language alone: the empty second slot is filled, which is news too.
  StartUp(SettingsMode::kFull);
  notice_.clear();
  ASSERT_TRUE(Apply({"--lang", "Francais"}));
  EXPECT_EQ(app_.selected, (SelectedLanguages{3, 1, 0, 0}));
  EXPECT_EQ(notice_,
            "the second language is English, not None: English is always loaded unless it is the "
            "boot language");
}

TEST_F(ApplyOptionsTest, AnUnknownLanguageChangesNothing) {
  StartUp(SettingsMode::kFull);
  EXPECT_FALSE(Apply({"--lang", "Deutsch", "--lang", "english", "--no-firmware"}));
  EXPECT_EQ(problem_, "--lang english: not a language of lang.cfg (English, Deutsch, Francais)");
  EXPECT_EQ(app_.selected, (SelectedLanguages{1, 2, 0, 0}));
  EXPECT_EQ(request_.languages, app_.selected);
  EXPECT_TRUE(request_.download_firmware);
}

TEST_F(ApplyOptionsTest, OptionFlagsOverrideTheSettingsFile) {
  StartUp(SettingsMode::kFull);
  ASSERT_TRUE(
      Apply({"--no-languages", "--no-firmware", "--boot-sector", "--erase-user-flash",
             "--boot-from", "ramcard", "--baud", "115200", "--skip-unchanged", "--no-repair"}));
  EXPECT_EQ(Choices(), (std::vector<bool>{false, false, true, true, true}));
  EXPECT_EQ(request_.baud, 115200);
  EXPECT_TRUE(request_.policy.skip_unchanged);
  EXPECT_FALSE(request_.policy.repair);

  ASSERT_TRUE(Apply({"--boot-from", "flash", "--baud", "9600"}));
  EXPECT_EQ(Choices(), (std::vector<bool>{false, false, true, true, false}));
  EXPECT_EQ(request_.baud, 9600);
}

TEST_F(ApplyOptionsTest, RestrictedModeTakesLanguagesAndSpeedButNoOptionFlag) {
  StartUp(SettingsMode::kRestricted);
  EXPECT_FALSE(Apply({"--lang", "Francais", "--erase-user-flash"}));
  EXPECT_EQ(problem_,
            "--erase-user-flash: the settings file veskotdr.ini fixes the download options "
            "(Restricted mode); leave these options out");
  EXPECT_EQ(app_.selected, (SelectedLanguages{1, 2, 0, 0}));

  ASSERT_TRUE(Apply({"--lang", "English", "--lang", "Francais", "--baud", "38400"}));
  EXPECT_EQ(app_.selected, (SelectedLanguages{1, 3, 0, 0}));
  EXPECT_EQ(request_.baud, 38400);
  // The file's fixed options: both downloads, and no option of Full mode.
  EXPECT_EQ(Choices(), (std::vector<bool>{true, true, false, false, false}));
}

}  // namespace
}  // namespace r7700::cli
