// The command line's choices over the settings file's: the request that
// start-up read from the settings, changed as the options say.
#pragma once

#include <string>

#include "app/app_state.h"
#include "app/cli/command_line/options.h"
#include "app/update_request.h"

namespace r7700::cli {

// Call with the request as start-up left it. Nothing is changed and false
// returned with one line in *problem when download-option flags are given
// in Restricted mode or a --lang names no language of the catalogue.
// Otherwise sets the languages (in app.selected too, under the
// second-language rule), the link speed, what to download, the download
// options and the transfer policy; *notice gets a line when the
// second-language rule replaced the second language given.
bool ApplyCliOptions(const CliOptions& options, AppState& app, UpdateRequest& request,
                     std::string* problem, std::string* notice);

}  // namespace r7700::cli
