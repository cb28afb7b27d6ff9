// r7700-update with several ports: one confirmation and one language image
// for all, then every instrument updated at once, then the summary table.
#pragma once

#include "app/cli/command_line/options.h"
#include "app/cli/session.h"

namespace r7700::cli {

// Call once the session has started. Returns the exit status: kExitDeclined
// at No, kExitRunFailed when the image could not be built or any instrument
// failed, else kExitSuccess. With --json every port's events and result
// record name the port, and a last record without a port gives the exit
// status of all; the status log lines and the summary table go to stderr.
// backend is the platform's, without the session's trace.
int UpdateSeveralInstruments(const CliOptions& options, Session& session, SerialBackend& backend);

}  // namespace r7700::cli
