// --json: the run's events as JSON Lines, one object per event, each
// starting with "t" (seconds since the run began) and "event"; with a port
// label every object carries "port" too. The field names are documented in
// docs/command-line.md and stay stable.
#pragma once

#include <cstdio>
#include <string>

#include "app/cli/report/json_writer.h"
#include "app/cli/report/run_events.h"
#include "app/cli/report/run_reporter.h"
#include "app/update_request.h"
#include "app/update_run.h"

namespace r7700::cli {

class JsonEventSink : public RunEventSink {
 public:
  JsonEventSink(std::FILE* out, std::string port_label)
      : out_(out), port_label_(std::move(port_label)) {}

  void Stage(const EventTime& time, RunStage stage, std::string_view caption) override;
  void LogLine(const EventTime& time, std::string_view line) override;
  void Progress(const EventTime& time, RunStage stage, std::string_view caption, int64_t count,
                int percent) override;
  void Box(const EventTime& time, std::string_view caption, std::string_view text) override;
  void Question(const EventTime& time, std::string_view caption, std::string_view text,
                bool yes) override;

  // An object of the given event with "t" (and "port") filled in, for the
  // caller to add its fields to and Write.
  JsonObject Begin(const EventTime& time, std::string_view event) const;
  // From now on every object carries "port": the port once it is chosen.
  void set_port_label(std::string label) { port_label_ = std::move(label); }
  void Write(const JsonObject& object);

 private:
  std::FILE* out_;
  std::string port_label_;
};

// A result record's common fields: "exit", "outcome" and "duration"; the
// whole record of a run that ended before it could start.
JsonObject ResultRecord(const JsonEventSink& sink, const EventTime& time, int exit_status);

// The last object of an update run: its exit status and outcome, the
// instrument it updated (identity and monitor version, when learnt), how
// each image fared with the bytes the instrument acknowledged, and the
// duration. An image the request did not ask for is "not-chosen".
void WriteRunResult(JsonEventSink& sink, const EventTime& time, int exit_status,
                    const PortRunReport& report, const UpdateRequest& request,
                    const RunReporter& reporter);

// Names of exit statuses and image outcomes as they appear in the records.
std::string_view ExitOutcomeName(int exit_status);
std::string_view StageOutcomeName(StageOutcome outcome);
// The stable id of a progress phase: "firmware-erase", "languages-transfer", ...
std::string_view StageId(RunStage stage);

}  // namespace r7700::cli
