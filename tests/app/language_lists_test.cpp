#include "app/language_lists.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/resources/resource.h"
#include "app/win32/controls.h"
#include "link/memory_window.h"

namespace r7700 {
namespace {

using Items = std::vector<std::string>;

LanguageChoices MakeChoices(std::initializer_list<const char*> names) {
  LanguageChoices choices;
  choices.rows[0].name = "None";
  size_t row = 1;
  for (const char* name : names) choices.rows[row++].name = name;
  return choices;
}

class LanguageListsTest : public ::testing::Test {
 protected:
  MemoryWindow window_;
  LanguageChoices choices_ = MakeChoices({"English", "Deutsch", "Francais", "English"});
  SelectedLanguages selected_ = kInitialSelectedLanguages;
};

TEST_F(LanguageListsTest, BootListHasNoNoneAndTheOthersStartWithIt) {
  selected_ = {1, 2, 3, 0};
  FillLanguageLists(window_, choices_, selected_);
  EXPECT_EQ(window_.control(IDC_BOOT_LANGUAGE).items,
            (Items{"English", "Deutsch", "Francais", "English"}));
  for (int id : {IDC_SECOND_LANGUAGE, IDC_THIRD_LANGUAGE, IDC_FOURTH_LANGUAGE}) {
    EXPECT_EQ(window_.control(id).items,
              (Items{"None", "English", "Deutsch", "Francais", "English"}));
  }
  EXPECT_EQ(window_.GetText(IDC_BOOT_LANGUAGE), "English");
  EXPECT_EQ(window_.GetText(IDC_SECOND_LANGUAGE), "Deutsch");
  EXPECT_EQ(window_.GetText(IDC_THIRD_LANGUAGE), "Francais");
  EXPECT_EQ(window_.GetText(IDC_FOURTH_LANGUAGE), "None");
  EXPECT_TRUE(window_.IsEnabled(IDC_SECOND_LANGUAGE));
  EXPECT_EQ(selected_, (SelectedLanguages{1, 2, 3, 0}));
}

TEST_F(LanguageListsTest, ListsEndAtTheEndMarker) {
  choices_ = MakeChoices({"English", "", "Hidden"});
  FillLanguageLists(window_, choices_, selected_);
  EXPECT_EQ(window_.control(IDC_BOOT_LANGUAGE).items, Items{"English"});
  EXPECT_EQ(window_.control(IDC_FOURTH_LANGUAGE).items, (Items{"None", "English"}));

  choices_ = MakeChoices({});
  MemoryWindow empty;
  SelectedLanguages selected = kInitialSelectedLanguages;
  FillLanguageLists(empty, choices_, selected);
  EXPECT_EQ(empty.control(IDC_BOOT_LANGUAGE).items, Items{});
  EXPECT_EQ(empty.control(IDC_SECOND_LANGUAGE).items, Items{"None"});
}

TEST_F(LanguageListsTest, SecondLanguageIsForcedUnlessRowOneBoots) {
  selected_ = {3, 0, 2, 0};
  FillLanguageLists(window_, choices_, selected_);
  EXPECT_EQ(selected_, (SelectedLanguages{3, 1, 2, 0}));
  EXPECT_EQ(window_.GetText(IDC_SECOND_LANGUAGE), "English");
  EXPECT_FALSE(window_.IsEnabled(IDC_SECOND_LANGUAGE));

  // Choosing row 1 as boot language frees the list, still showing row 1.
  window_.ListSelect(IDC_BOOT_LANGUAGE, 0);
  ReadLanguageSelections(window_, choices_, selected_);
  ApplySecondLanguageRule(window_, selected_);
  EXPECT_EQ(selected_, (SelectedLanguages{1, 1, 2, 0}));
  EXPECT_TRUE(window_.IsEnabled(IDC_SECOND_LANGUAGE));
  EXPECT_EQ(window_.GetText(IDC_SECOND_LANGUAGE), "English");

  window_.ListSelect(IDC_SECOND_LANGUAGE, 3);
  window_.ListSelect(IDC_BOOT_LANGUAGE, 1);
  ReadLanguageSelections(window_, choices_, selected_);
  EXPECT_EQ(selected_, (SelectedLanguages{2, 3, 2, 0}));
  ApplySecondLanguageRule(window_, selected_);
  EXPECT_EQ(selected_, (SelectedLanguages{2, 1, 2, 0}));
  EXPECT_EQ(window_.GetText(IDC_SECOND_LANGUAGE), "English");
  EXPECT_FALSE(window_.IsEnabled(IDC_SECOND_LANGUAGE));
}

TEST_F(LanguageListsTest, SelectionsAreReadBackByName) {
  FillLanguageLists(window_, choices_, selected_);
  // The second "English" resolves to the first row of that name.
  window_.ListSelect(IDC_BOOT_LANGUAGE, 3);
  window_.ListSelect(IDC_THIRD_LANGUAGE, 4);
  window_.ListSelect(IDC_FOURTH_LANGUAGE, 0);
  ReadLanguageSelections(window_, choices_, selected_);
  EXPECT_EQ(selected_, (SelectedLanguages{1, 0, 1, 0}));

  // A list without a selection keeps its slot inside the table.
  selected_ = {0, 1, 2, 3};
  window_.ListSelect(IDC_BOOT_LANGUAGE, -1);
  window_.ListSelect(IDC_SECOND_LANGUAGE, -1);
  ReadLanguageSelections(window_, choices_, selected_);
  EXPECT_EQ(selected_, (SelectedLanguages{0, 1, 1, 0}));
}

TEST(Controls, RunDisablesEverythingButTheLog) {
  const std::vector<int> operable{IDC_START,
                                  IDC_EXIT,
                                  IDC_HELP_BUTTON,
                                  IDC_BOOT_LANGUAGE,
                                  IDC_SECOND_LANGUAGE,
                                  IDC_THIRD_LANGUAGE,
                                  IDC_FOURTH_LANGUAGE,
                                  IDC_DOWNLOAD_LANGUAGES,
                                  IDC_DOWNLOAD_FIRMWARE,
                                  IDC_DOWNLOAD_BOOT_SECTOR,
                                  IDC_ERASE_USER_FLASH,
                                  IDC_BOOT_FLASH,
                                  IDC_BOOT_RAMCARD,
                                  IDC_PORT_LIST,
                                  IDC_BAUD_LIST};
  const std::vector<int> options{IDC_DOWNLOAD_LANGUAGES,   IDC_DOWNLOAD_FIRMWARE,
                                 IDC_DOWNLOAD_BOOT_SECTOR, IDC_ERASE_USER_FLASH,
                                 IDC_BOOT_FLASH,           IDC_BOOT_RAMCARD};
  for (SettingsMode mode : {SettingsMode::kFull, SettingsMode::kRestricted}) {
    MemoryWindow window;
    DisableControlsForRun(window);
    for (int id : operable) EXPECT_FALSE(window.IsEnabled(id)) << id;
    EXPECT_TRUE(window.IsEnabled(IDC_STATUS_LOG));

    EnableControlsAfterRun(window, mode);
    for (int id : operable) {
      const bool is_option = std::find(options.begin(), options.end(), id) != options.end();
      EXPECT_EQ(window.IsEnabled(id), !is_option || mode == SettingsMode::kFull) << id;
    }
  }
}

}  // namespace
}  // namespace r7700
