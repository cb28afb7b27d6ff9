// The loaders of the main window's start-up, shared by the Windows program
// and the command line so both start alike.
#pragma once

#include <string>

#include "app/app_state.h"
#include "link/window_surface.h"

namespace r7700 {

// In order: the catalogue's names, the port list, the baud list, the
// settings file. Stops at the first loader that fails and returns its
// message number (102, 103, 101 or 100) after that loader showed its
// message; 0 when all succeeded. With fixed_port not empty the port list
// holds that name alone and no port is probed (the command line's --port).
int LoadStartupData(AppState& app, Services& services, WindowSurface& window,
                    const std::string& fixed_port = {});

}  // namespace r7700
