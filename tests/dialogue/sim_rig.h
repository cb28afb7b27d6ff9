// The simulated instrument in-process, the serial link to it, a window in
// memory and a run context, all on one virtual clock: what the dialogue
// tests talk to.
#pragma once

#include <string>

#include "link/clock.h"
#include "link/control_ids.h"
#include "link/memory_window.h"
#include "link/run_context.h"
#include "link/serial_port.h"
#include "sim/instrument.h"
#include "sim/sim_backend.h"

namespace r7700 {

struct DialogueRig {
  explicit DialogueRig(const sim::InstrumentConfig& config = {})
      : instrument(config), backend(instrument, clock) {
    port = OpenPort(backend, window, "SIM", kOpeningBaud);
  }

  std::string Log() { return window.GetText(IDC_STATUS_LOG); }
  std::string Sent() const { return std::string(backend.sent().begin(), backend.sent().end()); }

  VirtualClock clock;
  sim::Instrument instrument;
  SimBackend backend;
  MemoryWindow window;
  RunContext run{window, clock, {}, {}, {}, {}};
  OwnedPort port;
};

}  // namespace r7700
