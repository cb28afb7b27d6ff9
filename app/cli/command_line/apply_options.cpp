#include "app/cli/command_line/apply_options.h"

#include <algorithm>
#include <array>

#include "app/language_lists.h"
#include "app/resources/resource.h"

namespace r7700::cli {
namespace {

constexpr size_t kSecondSlot = 1;

// The catalogue rows of the --lang names, "None" for slots not given; false
// with *problem naming the first unknown one.
bool LanguageRows(const CliOptions& options, const LanguageChoices& choices,
                  SelectedLanguages* rows, std::string* problem) {
  rows->fill(0);
  for (size_t k = 0; k < options.languages.size(); ++k) {
    const int row = FindLanguage(choices, options.languages[k]);
    // Row 0 is "None", which the boot list does not offer.
    if (row < 0 || (k == 0 && row == 0)) {
      std::string known;
      for (int r = kBootListRowOffset; r < kLanguageRows && !choices.rows[r].name.empty(); ++r) {
        known += (known.empty() ? "" : ", ") + choices.rows[r].name;
      }
      *problem = "--lang " + options.languages[k] + ": not a language of lang.cfg (" + known + ")";
      return false;
    }
    (*rows)[k] = row;
  }
  return true;
}

void SelectLanguages(const SelectedLanguages& rows, AppState& app, WindowSurface& window,
                     std::string* notice) {
  SelectLanguageSlots(window, rows);
  ReadLanguageSelections(window, app.choices, app.selected);
  ApplySecondLanguageRule(window, app.selected);
  if (app.selected[kSecondSlot] != rows[kSecondSlot]) {
    const std::string& first = app.choices.rows[static_cast<size_t>(app.selected[1])].name;
    *notice = "the second language is " + first + ", not " +
              app.choices.rows[static_cast<size_t>(rows[kSecondSlot])].name + ": " + first +
              " is always loaded unless it is the boot language";
  }
}

void Tick(WindowSurface& window, int id, const std::optional<bool>& value) {
  if (value) window.SetChecked(id, *value);
}

}  // namespace

bool ApplyCliOptions(const CliOptions& options, AppState& app, WindowSurface& window,
                     std::string* problem, std::string* notice) {
  if (app.settings.mode == SettingsMode::kRestricted) {
    *problem = RestrictedModeProblem(options, kRestrictedSettingsFile);
    if (!problem->empty()) return false;
  }
  SelectedLanguages rows{};
  if (!LanguageRows(options, app.choices, &rows, problem)) return false;

  if (!options.languages.empty()) SelectLanguages(rows, app, window, notice);
  if (options.baud != 0) {
    const auto position = std::find(BaudRateTable.begin(), BaudRateTable.end(), options.baud);
    window.ListSelect(IDC_BAUD_LIST, static_cast<int>(position - BaudRateTable.begin()));
  }
  app.transfer_policy.skip_unchanged = options.skip_unchanged;
  app.transfer_policy.instrument_paced = options.fast;
  // A technician at a terminal can answer for the power supply, and should
  // not have to cycle power after a run that left the monitor at its speed.
  app.transfer_policy.confirm_power_in_monitor = true;
  app.transfer_policy.find_monitor_at_run_speed = true;
  Tick(window, IDC_DOWNLOAD_LANGUAGES, options.download_languages);
  Tick(window, IDC_DOWNLOAD_FIRMWARE, options.download_firmware);
  Tick(window, IDC_DOWNLOAD_BOOT_SECTOR, options.boot_sector);
  Tick(window, IDC_ERASE_USER_FLASH, options.erase_user_flash);
  if (options.boot_from) {
    const bool ram_card = *options.boot_from == BootMedium::kRamCard;
    window.SetChecked(IDC_BOOT_RAMCARD, ram_card);
    window.SetChecked(IDC_BOOT_FLASH, !ram_card);
  }
  return true;
}

}  // namespace r7700::cli
