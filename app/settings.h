// The settings file beside the executable: "product.ini" selects Full mode
// (all download options, starting from the file's values), "veskotdr.ini"
// Restricted mode (only the languages can be chosen).
//
// Section LanguageDefaults: Language1 to Language4, names of the catalogue
// ("None" for no language) or the access code; defaults "English", "None",
// "None", "None". Section ProductDefaults (Full mode only): DownloadLanguages
// ("TRUE"), DownloadFirmware ("TRUE"), DownloadBootSector ("FALSE"),
// EraseUserFlashMem ("FALSE"), DownloadTo ("FLASH", "CARD" or "RAM";
// default "FLASH"). Every value is read into 20 bytes, so at most 19
// characters; comparisons are exact and case-sensitive.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "app/profile_store.h"
#include "languages/catalogue.h"
#include "link/control_ids.h"
#include "link/data_paths.h"
#include "link/window_surface.h"

namespace r7700 {

enum class SettingsMode { kNone = 0, kRestricted = 1, kFull = 2 };

inline constexpr std::string_view kFullSettingsFile = "product.ini";
inline constexpr std::string_view kRestrictedSettingsFile = "veskotdr.ini";
inline constexpr size_t kSettingsValueBytes = 20;

// The download options and the boot medium buttons: set from the settings
// file in Full mode, ticked and disabled in Restricted mode.
inline constexpr std::array<int, 6> kOptionControls{IDC_DOWNLOAD_LANGUAGES,   IDC_DOWNLOAD_FIRMWARE,
                                                    IDC_DOWNLOAD_BOOT_SECTOR, IDC_ERASE_USER_FLASH,
                                                    IDC_BOOT_FLASH,           IDC_BOOT_RAMCARD};

// A language value that makes Exit write the choices back to the file.
inline constexpr std::string_view kAccessCode = "R7700-SERVICE";

enum SettingsOption {
  kOptionDownloadLanguages,
  kOptionDownloadFirmware,
  kOptionDownloadBootSector,
  kOptionEraseUserFlash,
  kOptionDownloadTo,
  kOptionCount
};

struct Settings {
  SettingsMode mode = SettingsMode::kNone;
  bool write_back = false;
  // Language1 to Language4 as read; before a save, the names written.
  std::array<std::string, 4> language_slot_text;
  // Values of the ProductDefaults keys, indexed by SettingsOption, as read
  // or as last written.
  std::array<std::string, kOptionCount> option_text;
};

// Picks the settings file and mode, reads the languages into selected (a
// name the catalogue lacks shows warning 200 once per slot and keeps the
// slot's value; the access code sets write_back) and sets the option boxes:
// in Restricted mode all six ticked and disabled, in Full mode from
// ProductDefaults. Returns 0, or 100 after showing message 100 when neither
// file exists.
int LoadSettings(WindowSurface& window, ProfileStore& store, const DataPaths& paths,
                 const LanguageChoices& choices, SelectedLanguages& selected, Settings& settings);

// Writes the languages (and in Full mode the options, read from the boxes)
// back to the settings file in use, only when the access code was read.
// Returns false when a value could not be written (a read-only folder, for
// one), after a status log line naming the file.
bool SaveSettings(WindowSurface& window, ProfileStore& store, const DataPaths& paths,
                  const LanguageChoices& choices, const SelectedLanguages& selected,
                  Settings& settings);

}  // namespace r7700
