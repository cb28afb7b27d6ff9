// The command line's choices set on the controls after start-up, as a user
// would set them in the window, so the run reads them exactly as it reads
// the window's.
#pragma once

#include <string>

#include "app/app_state.h"
#include "app/cli/command_line/options.h"
#include "link/window_surface.h"

namespace r7700::cli {

// Call after LoadStartupData and FillLanguageLists. Nothing is changed and
// false returned with one line in *problem when download-option flags are
// given in Restricted mode or a --lang names no language of the catalogue.
// Otherwise selects the languages (then ReadLanguageSelections and the
// second-language rule), the link speed, ticks or clears boxes 1013, 1014,
// 1015 and 1017 and sets the boot medium buttons 1019/1016; *notice gets a
// line when the second-language rule replaced the second language given.
bool ApplyCliOptions(const CliOptions& options, AppState& app, WindowSurface& window,
                     std::string* problem, std::string* notice);

}  // namespace r7700::cli
