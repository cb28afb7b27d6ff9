#include "app/settings.h"

#include <gtest/gtest.h>

#include "app/language_lists.h"
#include "app/resources/resource.h"
#include "link/memory_window.h"
#include "tests/languages/test_folder.h"

namespace r7700 {
namespace {

constexpr std::array<int, 6> kOptionBoxes{IDC_DOWNLOAD_LANGUAGES,   IDC_DOWNLOAD_FIRMWARE,
                                          IDC_DOWNLOAD_BOOT_SECTOR, IDC_ERASE_USER_FLASH,
                                          IDC_BOOT_FLASH,           IDC_BOOT_RAMCARD};

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() {
    // English is row 2, so the default "English" is seen to be looked up.
    folder_.WriteData("lang.cfg",
                      "Deutsch,d1,d2,0,1,1,1\nEnglish,e1,e2,0,1,1,1\nFrancais,f1,f2,0,1,1,1\n");
    EXPECT_EQ(LoadLanguageChoices(window_, folder_.paths(), choices_), 0);
  }

  int Load() {
    return LoadSettings(window_, *store_, folder_.paths(), choices_, selected_, settings_);
  }
  void Save() {
    EXPECT_TRUE(SaveSettings(window_, *store_, folder_.paths(), choices_, selected_, settings_));
    EXPECT_EQ(window_.GetText(IDC_STATUS_LOG), "");
  }

  // The option boxes in the order of kOptionBoxes: ticked, enabled.
  std::vector<std::pair<bool, bool>> Boxes() {
    std::vector<std::pair<bool, bool>> boxes;
    for (int id : kOptionBoxes) boxes.emplace_back(window_.IsChecked(id), window_.IsEnabled(id));
    return boxes;
  }
  std::vector<bool> Ticks() {
    std::vector<bool> ticks;
    for (int id : kOptionBoxes) ticks.push_back(window_.IsChecked(id));
    return ticks;
  }

  TestFolder folder_;
  MemoryWindow window_;
  std::unique_ptr<ProfileStore> store_ = MakePlatformProfileStore();
  LanguageChoices choices_;
  SelectedLanguages selected_ = kInitialSelectedLanguages;
  Settings settings_;
};

TEST_F(SettingsTest, NoSettingsFileIsAnError) {
  EXPECT_EQ(Load(), 100);
  EXPECT_EQ(settings_.mode, SettingsMode::kNone);
  ASSERT_EQ(window_.boxes().size(), 1u);
  EXPECT_EQ(window_.boxes()[0].text, "Cannot find the INI file veskotdr.ini !\nError nr.: 100");
  EXPECT_EQ(window_.boxes()[0].caption, "ERROR");
  EXPECT_EQ(window_.boxes()[0].icon, BoxIcon::kError);
}

TEST_F(SettingsTest, FullModeWinsAndReadsBothSections) {
  folder_.Write("veskotdr.ini", "[LanguageDefaults]\nLanguage1=Francais\n");
  folder_.Write("product.ini",
                "[LanguageDefaults]\nLanguage1=Deutsch\nLanguage2=None\nLanguage3=Francais\n"
                "Language4=English\n[ProductDefaults]\nDownloadLanguages=FALSE\n"
                "DownloadFirmware=TRUE\nDownloadBootSector=TRUE\nEraseUserFlashMem=TRUE\n"
                "DownloadTo=CARD\n");
  ASSERT_EQ(Load(), 0);
  EXPECT_EQ(settings_.mode, SettingsMode::kFull);
  EXPECT_FALSE(settings_.write_back);
  EXPECT_EQ(selected_, (SelectedLanguages{1, 0, 3, 2}));
  EXPECT_TRUE(window_.boxes().empty());
  // The boot medium step clears the erase box that EraseUserFlashMem ticked.
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, true, false, false, true}));
  EXPECT_EQ(settings_.option_text[kOptionDownloadTo], "CARD");
}

TEST_F(SettingsTest, MissingSectionsGiveTheDefaults) {
  folder_.Write("product.ini", "; nothing here\n");
  ASSERT_EQ(Load(), 0);
  EXPECT_EQ(selected_, (SelectedLanguages{2, 0, 0, 0}));
  EXPECT_EQ(settings_.language_slot_text,
            (std::array<std::string, 4>{"English", "None", "None", "None"}));
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, false, false, true, false}));
  EXPECT_TRUE(window_.boxes().empty());
}

TEST_F(SettingsTest, UnknownLanguagesWarnOncePerSlot) {
  folder_.Write("veskotdr.ini",
                "[LanguageDefaults]\nLanguage1=english\nLanguage2=Deutsch\nLanguage3=Klingon\n");
  ASSERT_EQ(Load(), 0);
  ASSERT_EQ(window_.boxes().size(), 2u);
  EXPECT_EQ(window_.boxes()[0].text,
            "Cannot find language english form veskotdr.ini in file lang.cfg\nWarning nr.: 200");
  EXPECT_EQ(window_.boxes()[0].caption, "WARNING");
  EXPECT_EQ(window_.boxes()[0].icon, BoxIcon::kWarning);
  EXPECT_EQ(window_.boxes()[1].text,
            "Cannot find language Klingon form veskotdr.ini in file lang.cfg\nWarning nr.: 200");
  EXPECT_EQ(selected_, (SelectedLanguages{1, 1, 0, 0}));
}

TEST_F(SettingsTest, NoneAsBootLanguageLeavesTheBootListEmpty) {
  folder_.Write("product.ini", "[LanguageDefaults]\nLanguage1=None\nLanguage2=Francais\n");
  ASSERT_EQ(Load(), 0);
  EXPECT_EQ(selected_, (SelectedLanguages{0, 3, 0, 0}));
  FillLanguageLists(window_, choices_, selected_);
  EXPECT_EQ(window_.ListSelection(IDC_BOOT_LANGUAGE), -1);
  EXPECT_EQ(window_.ListSelection(IDC_SECOND_LANGUAGE), 1);
  EXPECT_FALSE(window_.IsEnabled(IDC_SECOND_LANGUAGE));
  EXPECT_EQ(selected_, (SelectedLanguages{0, 1, 0, 0}));
}

TEST_F(SettingsTest, AccessCodeWritesTheChoicesBack) {
  folder_.Write("product.ini",
                "; service settings\r\n"
                "[LanguageDefaults]\r\n"
                "Language1=English\r\n"
                "Language3=R7700-SERVICE\r\n"
                "\r\n"
                "[ProductDefaults]\r\n"
                "DownloadTo=RAM\r\n");
  ASSERT_EQ(Load(), 0);
  EXPECT_TRUE(settings_.write_back);
  EXPECT_TRUE(window_.boxes().empty());
  EXPECT_EQ(selected_, (SelectedLanguages{2, 0, 0, 0}));
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, false, true, false, false}));

  selected_ = {1, 3, 0, 2};
  window_.SetChecked(IDC_DOWNLOAD_FIRMWARE, false);
  window_.SetChecked(IDC_BOOT_RAMCARD, true);
  Save();
  EXPECT_EQ(folder_.Read("product.ini"),
            "; service settings\r\n"
            "[LanguageDefaults]\r\n"
            "Language1=Deutsch\r\n"
            "Language3=None\r\n"
            "Language2=Francais\r\n"
            "Language4=English\r\n"
            "\r\n"
            "[ProductDefaults]\r\n"
            "DownloadTo=RAM\r\n"
            "DownloadLanguages=TRUE\r\n"
            "DownloadFirmware=FALSE\r\n"
            "DownloadBootSector=FALSE\r\n"
            "EraseUserFlashMem=TRUE\r\n");

  // The saved file starts the next session with the erase box alone.
  MemoryWindow next;
  Settings next_settings;
  SelectedLanguages next_selected = kInitialSelectedLanguages;
  ASSERT_EQ(LoadSettings(next, *store_, folder_.paths(), choices_, next_selected, next_settings),
            0);
  EXPECT_EQ(next_selected, (SelectedLanguages{1, 3, 0, 2}));
  EXPECT_FALSE(next.IsChecked(IDC_BOOT_FLASH));
  EXPECT_FALSE(next.IsChecked(IDC_BOOT_RAMCARD));
  EXPECT_TRUE(next.IsChecked(IDC_ERASE_USER_FLASH));
}

// A program folder that cannot be written: reads work, every write fails.
class ReadOnlyStore : public ProfileStore {
 public:
  bool FileExists(const std::string& path) override { return store_->FileExists(path); }
  std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view default_value, size_t buffer_size) override {
    return store_->ReadString(path, section, key, default_value, buffer_size);
  }
  bool WriteString(const std::string&, std::string_view, std::string_view,
                   std::string_view) override {
    return false;
  }

 private:
  std::unique_ptr<ProfileStore> store_ = MakePlatformProfileStore();
};

TEST_F(SettingsTest, FailedWriteBackIsLogged) {
  folder_.Write("veskotdr.ini", "[LanguageDefaults]\nLanguage2=R7700-SERVICE\n");
  store_ = std::make_unique<ReadOnlyStore>();
  ASSERT_EQ(Load(), 0);
  EXPECT_FALSE(SaveSettings(window_, *store_, folder_.paths(), choices_, selected_, settings_));
  EXPECT_EQ(window_.GetText(IDC_STATUS_LOG),
            "Cannot write the settings file " + folder_.Path("veskotdr.ini").string() + " !\r\n");
}

TEST_F(SettingsTest, WithoutTheAccessCodeNothingIsWritten) {
  const std::string text = "[LanguageDefaults]\nLanguage1=Deutsch\n";
  folder_.Write("product.ini", text);
  ASSERT_EQ(Load(), 0);
  selected_ = {3, 1, 0, 0};
  Save();
  EXPECT_EQ(folder_.Read("product.ini"), text);
}

TEST_F(SettingsTest, BootMediumDecidesTheBoxes) {
  struct Case {
    std::string download_to;
    std::vector<bool> ticks;
  };
  const std::vector<Case> cases{
      {"FLASH", {true, true, false, false, true, false}},
      {"CARD", {true, true, false, false, false, true}},
      {"RAM", {true, true, false, true, false, false}},
      {"flash", {true, true, false, false, false, false}},
  };
  for (const Case& c : cases) {
    folder_.Write("product.ini",
                  "[ProductDefaults]\nEraseUserFlashMem=TRUE\nDownloadTo=" + c.download_to + "\n");
    ASSERT_EQ(Load(), 0);
    EXPECT_EQ(Ticks(), c.ticks) << c.download_to;
  }

  // Malformed option values count as not "TRUE".
  folder_.Write("product.ini",
                "[ProductDefaults]\nDownloadLanguages=true\nDownloadFirmware=TRUEx\n");
  ASSERT_EQ(Load(), 0);
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, false, false, false, true, false}));
}

TEST_F(SettingsTest, SavedBootMedium) {
  folder_.Write("product.ini", "[LanguageDefaults]\nLanguage4=R7700-SERVICE\n");
  ASSERT_EQ(Load(), 0);
  for (int id : kOptionBoxes) window_.SetChecked(id, false);
  window_.SetChecked(IDC_BOOT_RAMCARD, true);
  window_.SetChecked(IDC_DOWNLOAD_BOOT_SECTOR, true);
  Save();
  EXPECT_EQ(folder_.Read("product.ini"),
            "[LanguageDefaults]\nLanguage4=None\nLanguage1=English\nLanguage2=None\n"
            "Language3=None\n[ProductDefaults]\nDownloadLanguages=FALSE\nDownloadFirmware=FALSE\n"
            "DownloadBootSector=TRUE\nEraseUserFlashMem=FALSE\nDownloadTo=CARD\n");
}

TEST_F(SettingsTest, RestrictedModeFixesTheOptions) {
  const std::string text =
      "[LanguageDefaults]\nLanguage1=Francais\nLanguage2=R7700-SERVICE\n"
      "[ProductDefaults]\nDownloadLanguages=FALSE\nDownloadTo=RAM\n";
  folder_.Write("veskotdr.ini", text);
  ASSERT_EQ(Load(), 0);
  EXPECT_EQ(settings_.mode, SettingsMode::kRestricted);
  EXPECT_EQ(selected_, (SelectedLanguages{3, 0, 0, 0}));
  const std::vector<std::pair<bool, bool>> fixed(6, {true, false});
  EXPECT_EQ(Boxes(), fixed);
  EXPECT_EQ(settings_.option_text[kOptionDownloadLanguages], "");

  selected_ = {2, 1, 0, 0};
  window_.SetChecked(IDC_DOWNLOAD_FIRMWARE, false);
  Save();
  EXPECT_EQ(folder_.Read("veskotdr.ini"),
            "[LanguageDefaults]\nLanguage1=English\nLanguage2=Deutsch\nLanguage3=None\n"
            "Language4=None\n[ProductDefaults]\nDownloadLanguages=FALSE\nDownloadTo=RAM\n");
}

}  // namespace
}  // namespace r7700
