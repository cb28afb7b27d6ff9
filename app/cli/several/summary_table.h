// The end of a bench run: one table row per instrument, and the exit status.
#pragma once

#include <string>
#include <vector>

#include "app/cli/several/port_runs.h"

namespace r7700::cli {

// Columns PORT, IDENTITY, FIRMWARE, LANGUAGES, RESULT, DURATION; languages
// names what a completed language download loaded. Ends in a line end.
std::string SummaryTable(const std::vector<PortOutcome>& outcomes, const std::string& languages);

// kExitSuccess when every instrument succeeded, else kExitRunFailed.
int SeveralPortsExitStatus(const std::vector<PortOutcome>& outcomes);

}  // namespace r7700::cli
