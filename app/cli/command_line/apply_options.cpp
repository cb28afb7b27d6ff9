#include "app/cli/command_line/apply_options.h"

#include <algorithm>
#include <array>

#include "app/language_lists.h"

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

const char* const kSlotNames[] = {"boot", "second", "third", "fourth"};

// The first catalogue language is always loaded second unless it boots: a
// language asked for second moves to the next free slot, so every language
// asked for is loaded, or the command line is refused. Each is asked once.
bool KeepEveryLanguage(SelectedLanguages& rows, const LanguageChoices& choices,
                       std::string* problem, std::string* notice) {
  const auto name = [&](int32_t row) { return choices.rows[static_cast<size_t>(row)].name; };
  for (size_t k = 1; k < rows.size(); ++k) {
    if (rows[k] != 0 && std::find(rows.begin(), rows.begin() + k, rows[k]) != rows.begin() + k) {
      *problem = "--lang " + name(rows[k]) + " given twice";
      return false;
    }
  }
  if (rows[0] == kFirstLanguageRow || rows[kSecondSlot] == kFirstLanguageRow) return true;
  const int32_t displaced = rows[kSecondSlot];
  std::replace(rows.begin(), rows.end(), kFirstLanguageRow, 0);
  rows[kSecondSlot] = kFirstLanguageRow;
  const std::string rule = "the second language is " + name(kFirstLanguageRow) + ", not " +
                           name(displaced) + ": " + name(kFirstLanguageRow) +
                           " is always loaded unless it is the boot language";
  if (displaced == 0) {
    *notice = rule;
    return true;
  }
  const auto free = std::find(rows.begin() + kSecondSlot + 1, rows.end(), 0);
  if (free == rows.end()) {
    *problem = "--lang " + name(displaced) + ": no slot left for it; " + rule;
    return false;
  }
  *free = displaced;
  *notice = rule + "; " + name(displaced) + " is loaded " +
            kSlotNames[static_cast<size_t>(free - rows.begin())];
  return true;
}

void Take(bool& choice, const std::optional<bool>& option) {
  if (option) choice = *option;
}

}  // namespace

bool ApplyCliOptions(const CliOptions& options, AppState& app, UpdateRequest& request,
                     std::string* problem, std::string* notice) {
  if (app.settings.mode == SettingsMode::kRestricted) {
    *problem = RestrictedModeProblem(options, kRestrictedSettingsFile);
    if (!problem->empty()) return false;
  }
  SelectedLanguages rows{};
  if (!LanguageRows(options, app.choices, &rows, problem)) return false;

  if (!options.languages.empty()) {
    if (!KeepEveryLanguage(rows, app.choices, problem, notice)) return false;
    app.selected = request.languages = rows;
  }
  if (options.baud != 0) request.baud = options.baud;
  request.policy.skip_unchanged = options.skip_unchanged;
  request.policy.instrument_paced = options.fast;
  // A technician at a terminal can answer for the power supply, and should
  // not have to cycle power after a run that left the monitor at its speed.
  request.policy.confirm_power_in_monitor = true;
  request.policy.find_monitor_at_run_speed = true;
  request.policy.repair = options.repair;
  // In Restricted mode none of these was given: they were refused above.
  Take(request.download_languages, options.download_languages);
  Take(request.download_firmware, options.download_firmware);
  Take(request.options.with_boot_sector, options.boot_sector);
  Take(request.options.erase_user_flash, options.erase_user_flash);
  if (options.boot_from) {
    request.options.boot_from_ram_card = *options.boot_from == BootMedium::kRamCard;
  }
  return true;
}

}  // namespace r7700::cli
