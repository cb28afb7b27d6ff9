#include "app/settings.h"

#include "app/resources/resource.h"
#include "link/dialog_observer.h"
#include "link/error_report.h"
#include "link/status_log.h"

namespace r7700 {
namespace {

constexpr std::string_view kLanguageSection = "LanguageDefaults";
constexpr std::string_view kProductSection = "ProductDefaults";
constexpr std::array<std::string_view, 4> kLanguageKeys{"Language1", "Language2", "Language3",
                                                        "Language4"};
constexpr std::array<std::string_view, 4> kLanguageDefaults{"English", "None", "None", "None"};
constexpr std::string_view kTrue = "TRUE";
constexpr std::string_view kFalse = "FALSE";
constexpr std::string_view kBootFlash = "FLASH";
constexpr std::string_view kBootCard = "CARD";
constexpr std::string_view kBootRam = "RAM";

// The four ticked-or-not options: key, default and check box, in the order
// they are read and written.
struct TickOption {
  SettingsOption option;
  std::string_view key;
  std::string_view default_value;
  int control;
};

constexpr std::array<TickOption, 4> kTickOptions{{
    {kOptionDownloadLanguages, "DownloadLanguages", kTrue, IDC_DOWNLOAD_LANGUAGES},
    {kOptionDownloadFirmware, "DownloadFirmware", kTrue, IDC_DOWNLOAD_FIRMWARE},
    {kOptionDownloadBootSector, "DownloadBootSector", kFalse, IDC_DOWNLOAD_BOOT_SECTOR},
    {kOptionEraseUserFlash, "EraseUserFlashMem", kFalse, IDC_ERASE_USER_FLASH},
}};
constexpr std::string_view kDownloadToKey = "DownloadTo";

std::string_view SettingsFileName(SettingsMode mode) {
  return mode == SettingsMode::kFull ? kFullSettingsFile : kRestrictedSettingsFile;
}

void LoadProductDefaults(WindowSurface& window, ProfileStore& store, const std::string& path,
                         Settings& settings) {
  for (const TickOption& tick : kTickOptions) {
    std::string& text = settings.option_text[tick.option];
    text =
        store.ReadString(path, kProductSection, tick.key, tick.default_value, kSettingsValueBytes);
    window.SetChecked(tick.control, text == kTrue);
  }
  // The boot medium decides the erase box: it starts ticked exactly for
  // "RAM", whatever EraseUserFlashMem says.
  window.SetChecked(IDC_BOOT_FLASH, false);
  window.SetChecked(IDC_BOOT_RAMCARD, false);
  window.SetChecked(IDC_ERASE_USER_FLASH, false);
  std::string& boot = settings.option_text[kOptionDownloadTo];
  boot = store.ReadString(path, kProductSection, kDownloadToKey, kBootFlash, kSettingsValueBytes);
  if (boot == kBootFlash) window.SetChecked(IDC_BOOT_FLASH, true);
  if (boot == kBootCard) window.SetChecked(IDC_BOOT_RAMCARD, true);
  if (boot == kBootRam) window.SetChecked(IDC_ERASE_USER_FLASH, true);
}

}  // namespace

int LoadSettings(WindowSurface& window, ProfileStore& store, const DataPaths& paths,
                 const LanguageChoices& choices, SelectedLanguages& selected, Settings& settings) {
  settings.write_back = false;
  settings.mode = SettingsMode::kNone;
  if (store.FileExists(ProgramFilePath(paths, kFullSettingsFile))) {
    settings.mode = SettingsMode::kFull;
  } else if (store.FileExists(ProgramFilePath(paths, kRestrictedSettingsFile))) {
    settings.mode = SettingsMode::kRestricted;
  } else {
    DialogObserver observer(window);
    ShowNumberedMessage(observer, IDS_INI_MISSING, IDS_CAPTION_ERROR, BoxIcon::kError,
                        std::string(kRestrictedSettingsFile).c_str(), kMsgIniMissing);
    return kMsgIniMissing;
  }
  const std::string file_name(SettingsFileName(settings.mode));
  const std::string path = ProgramFilePath(paths, file_name);

  for (size_t k = 0; k < kLanguageKeys.size(); ++k) {
    std::string& text = settings.language_slot_text[k];
    text = store.ReadString(path, kLanguageSection, kLanguageKeys[k], kLanguageDefaults[k],
                            kSettingsValueBytes);
    const int row = FindLanguage(choices, text);
    if (row >= 0) {
      selected[k] = row;
    } else if (text == kAccessCode) {
      settings.write_back = true;
    } else {
      DialogObserver observer(window);
      ShowNumberedMessage(observer, IDS_LANGUAGE_MISSING, IDS_CAPTION_WARNING, BoxIcon::kWarning,
                          text.c_str(), file_name.c_str(), kMsgLanguageMissing);
    }
  }

  if (settings.mode == SettingsMode::kRestricted) {
    for (int control : kOptionControls) {
      window.SetChecked(control, true);
      window.Enable(control, false);
    }
    return 0;
  }
  LoadProductDefaults(window, store, path, settings);
  return 0;
}

bool SaveSettings(WindowSurface& window, ProfileStore& store, const DataPaths& paths,
                  const LanguageChoices& choices, const SelectedLanguages& selected,
                  Settings& settings) {
  if (!settings.write_back || settings.mode == SettingsMode::kNone) return true;
  const std::string path = ProgramFilePath(paths, SettingsFileName(settings.mode));
  bool written = true;
  for (size_t k = 0; k < kLanguageKeys.size(); ++k) {
    settings.language_slot_text[k] = LanguageName(choices, selected[k]);
    written &=
        store.WriteString(path, kLanguageSection, kLanguageKeys[k], settings.language_slot_text[k]);
  }
  if (settings.mode == SettingsMode::kFull) {
    for (const TickOption& tick : kTickOptions) {
      std::string& text = settings.option_text[tick.option];
      text = window.IsChecked(tick.control) ? kTrue : kFalse;
      written &= store.WriteString(path, kProductSection, tick.key, text);
    }
    std::string_view boot = kBootFlash;
    if (window.IsChecked(IDC_BOOT_RAMCARD)) boot = kBootCard;
    if (window.IsChecked(IDC_ERASE_USER_FLASH)) boot = kBootRam;
    settings.option_text[kOptionDownloadTo] = boot;
    written &= store.WriteString(path, kProductSection, kDownloadToKey, boot);
  }
  if (!written) {
    DialogObserver observer(window);
    LogLine(observer, "Cannot write the settings file %s !\n", path.c_str());
  }
  return written;
}

}  // namespace r7700
