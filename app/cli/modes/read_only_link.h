// The instrument link of the read-only modes (--info, --verify): the port
// opened and the monitor reached by the update run's own stages, with the
// run's one retry offer, but without the loader checks, which load into the
// instrument's RAM. From here on only "ver", "dm", "crc" and "reboot" go out.
#pragma once

#include <string>

#include "app/cli/session.h"
#include "dialogue/connection.h"
#include "link/run_context.h"
#include "link/serial_port.h"

namespace r7700::cli {

class ReadOnlyLink {
 public:
  // The context of a run with the session's choices (boot medium, speed, port).
  explicit ReadOnlyLink(Session& session);

  RunContext& run() { return run_; }
  PortHandle port() const { return port_.get(); }

  // Opens the port and reaches the monitor; false once a box has said why.
  // The identity and power answer are then in run().
  bool Connect();
  // The monitor's version line.
  std::string MonitorVersion();
  void Reboot();
  void Close();

 private:
  Session& session_;
  RunContext run_;
  OwnedPort port_;
};

// A query the instrument left unanswered makes the mode fail (exit 2): what
// it holds is then not known, which is neither "the same" nor "differs".
inline constexpr std::string_view kUnansweredText =
    "the instrument did not answer every query; what it holds is not known";

// Says so on stderr.
void ReportUnanswered(Session& session);

// The series letter of a version line; '?' when the line is too short.
char SeriesOf(const std::string& version);

// The record with "error": the last box's text when a box was shown, else
// kUnansweredText when a query went unanswered.
JsonObject& AddError(Session& session, JsonObject& record, bool unanswered);

}  // namespace r7700::cli
