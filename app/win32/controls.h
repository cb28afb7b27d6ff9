// Enabling the main window's controls around an update run.
#pragma once

#include "app/settings.h"
#include "link/window_surface.h"

namespace r7700 {

// At Start, in both modes: disables Start, Exit, Help, the four language
// lists, the six option controls and the port and baud lists, then repaints.
// The status log stays enabled.
void DisableControlsForRun(WindowSurface& window);

// At the end of a run: enables Start, Exit, Help, the language lists, the
// port and baud lists and, in Full mode only, the option controls (in
// Restricted mode they stay as the settings left them); moves the status
// log's caret to its start and repaints.
void EnableControlsAfterRun(WindowSurface& window, SettingsMode mode);

}  // namespace r7700
