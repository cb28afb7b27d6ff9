#include "app/update_request.h"

#include "app/resources/resource.h"

namespace r7700 {

// Restricted mode ticks the hidden option boxes, so only Full mode may read them.
RunOptions ReadRunOptions(SettingsMode mode, WindowSurface& window) {
  if (mode != SettingsMode::kFull) return {};
  return RunOptions{
      .boot_from_ram_card = window.IsChecked(IDC_BOOT_RAMCARD),
      .with_boot_sector = window.IsChecked(IDC_DOWNLOAD_BOOT_SECTOR),
      .erase_user_flash = window.IsChecked(IDC_ERASE_USER_FLASH),
  };
}

// The controls are disabled for the whole run, so what they hold at Start
// is what they held when the boxes used to be read along the way.
UpdateRequest ReadUpdateRequest(const AppState& app, WindowSurface& window) {
  UpdateRequest request;
  request.port = SelectedPortName(app.ports, window);
  request.baud = SelectedBaud(window);
  request.download_firmware = window.IsChecked(IDC_DOWNLOAD_FIRMWARE);
  request.download_languages = window.IsChecked(IDC_DOWNLOAD_LANGUAGES);
  request.options = ReadRunOptions(app.settings.mode, window);
  request.languages = app.selected;
  return request;
}

}  // namespace r7700
