// What one update is to do, as a value: each front end builds it (the
// Windows program from its controls at Start, the command line from its
// options and the settings), and the run reads nothing else.
#pragma once

#include <cstdint>
#include <string>

#include "app/app_state.h"
#include "link/window_surface.h"

namespace r7700 {

struct UpdateRequest {
  std::string port;
  int32_t baud = 0;  // the link speed once the monitor is in charge
  bool download_firmware = false;
  bool download_languages = false;
  RunOptions options{};  // all false in Restricted mode
  TransferPolicy policy{};
  // Rows of the language choices per slot, 0 for none: the image built
  // before the port is opened holds these.
  SelectedLanguages languages = kInitialSelectedLanguages;
};

// The download options as the Windows program's boxes hold them; all false
// in Restricted mode.
RunOptions ReadRunOptions(SettingsMode mode, WindowSurface& window);

// The request as the main window's controls hold it: port and speed lists,
// download and option boxes, and the languages chosen (app.selected); the
// transfer policy is the window's, the default one.
UpdateRequest ReadUpdateRequest(const AppState& app, WindowSurface& window);

}  // namespace r7700
