// The end of a bench run: one table row per instrument, and the exit status.
#pragma once

#include <string>
#include <vector>

#include "app/cli/several/port_runs.h"

namespace r7700::cli {

// Columns PORT, IDENTITY, FIRMWARE, LANGUAGES, RESULT, DURATION; languages
// names what a completed language download loaded. Ends in a line end.
// With columns > 0 every line fits that width: IDENTITY, LANGUAGES and
// FIRMWARE are left out in that order as needed, then RESULT is cut; PORT
// and DURATION stay whole.
std::string SummaryTable(const std::vector<PortOutcome>& outcomes, const std::string& languages,
                         int columns = 0);

// "ok", "INTERRUPTED: " and how far the run got, or "FAILED: " and the
// first line of its failure.
std::string ResultText(const PortOutcome& outcome);

// kExitSuccess when every instrument succeeded, else kExitRunFailed.
int SeveralPortsExitStatus(const std::vector<PortOutcome>& outcomes);

}  // namespace r7700::cli
