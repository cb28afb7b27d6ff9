// Several instruments at once (a service bench): one update per port, each
// on its own thread with its own window, run context and log, over the one
// language image built beforehand and read by all. A failure on one port
// never reaches another: nothing is shared but read-only files, the serial
// backend (which only opens ports) and the clock (which only sleeps).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/report/service_record.h"
#include "app/cli/several/multi_display.h"
#include "app/update_run.h"
#include "link/cancellation.h"
#include "link/clock.h"
#include "link/run_context.h"
#include "link/serial_backend.h"

namespace r7700::cli {

// What every port's run shares, read-only.
struct PortRunsJob {
  SerialBackend& serial;  // the platform's: each port explains its own opens
  Clock& clock;
  UpdateRequest request;  // its port is each port's own
  std::string firmware_path{};
  std::string language_image_path{};
  std::string log_dir{};               // empty: no log files
  RunHead head{};                      // of every log file, each with its own port
  std::FILE* json = nullptr;           // --json: every port's events there, each naming its port
  bool trace = false;                  // the dialogue too in the log files
  const CancelFlag* cancel = nullptr;  // interrupts every port's run
};

// How one instrument's update ended.
struct PortOutcome {
  std::string port;
  PortRunReport report;
  int result = kRunFailed;
  double seconds = 0;
  std::string failure;  // why the port's open failed, else the last box; empty on success
  std::string log_path;
  InstrumentReach reach = InstrumentReach::kUntouched;  // how far the run got
};

// "ttyUSB0-20261209-115500.log" for /dev/ttyUSB0 at that local time.
std::string PortLogFileName(const std::string& port, const std::string& stamp);

// Runs the ports' updates at once and returns when every one has ended,
// outcomes in the order of ports. The SUCCESS box is not shown.
std::vector<PortOutcome> UpdatePorts(const PortRunsJob& job, const std::vector<std::string>& ports,
                                     MultiDisplay& display);

}  // namespace r7700::cli
