// Serving the simulated instrument on a pseudo-terminal, on scaled real time.
#pragma once

#include "sim/sim_options.h"

namespace r7700::sim {

// Opens a pty, prints its slave path as the first line of stdout, serves
// the instrument until it has rebooted or SIGTERM/SIGINT arrives, then
// writes the state file. Returns the exit status.
int ServeOnPty(const SimOptions& options);

}  // namespace r7700::sim
