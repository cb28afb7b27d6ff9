// r7700-update with several ports: one confirmation and one language image
// for all, then every instrument updated at once, then the summary table.
#pragma once

#include "app/app_state.h"
#include "app/cli/options.h"
#include "app/cli/terminal_window.h"

namespace r7700::cli {

// Call once the start-up data is loaded and the options are applied to
// window. Returns the exit status: kExitDeclined at No, kExitRunFailed when
// the image could not be built or any instrument failed, else kExitSuccess.
int UpdateSeveralInstruments(const CliOptions& options, AppState& app, Services& services,
                             TerminalWindow& window);

}  // namespace r7700::cli
