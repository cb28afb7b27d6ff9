// What every mode that talks to an instrument works with, set up once per
// run from the options: the seams (the serial backend wrapped so a failed
// open is explained), the program's state, the request, the terminal, and
// the run's events with their sinks (--json, --log, --trace). One object
// per run and port; nothing here is shared between runs.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "app/cli/command_line/options.h"
#include "app/cli/report/json_events.h"
#include "app/cli/report/log_file.h"
#include "app/cli/report/run_events.h"
#include "app/cli/report/run_reporter.h"
#include "app/cli/terminal/terminal_window.h"
#include "app/update_request.h"
#include "link/explained_opens.h"
#include "link/memory_window.h"

namespace r7700::cli {

struct SessionOutputs {
  std::FILE* json = nullptr;  // the JSON Lines; null without --json
  std::FILE* log = nullptr;   // the time-stamped log; null without --log or --trace
  bool trace = false;
  bool record = false;      // the log is a --log file: it gets the head, verdict and findings
  bool json_events = true;  // false: only the mode's final object is written
  // The status log to stderr, so stdout carries only what the mode reports.
  bool log_to_stderr = false;
};

// The main window's controls that start-up fills from the catalogue and the
// settings file, never shown: a start-up message is a problem of the run.
class StartupControls : public MemoryWindow {
 public:
  explicit StartupControls(RunObserver& observer) : observer_(observer) {}
  BoxAnswer ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                    BoxButtons buttons) override;

 private:
  RunObserver& observer_;
};

class Session {
 public:
  Session(const CliOptions& options, SerialBackend& backend, Clock& clock,
          const SessionOutputs& outputs);

  // Start-up as the window does, then the request: the settings file's
  // choices with the options over them. kExitSuccess to go on; otherwise
  // the exit status, its message shown.
  int Start();
  // Ends what is still open on screen and in the sinks.
  void End();

  const CliOptions& options() const { return options_; }
  AppState& app() { return app_; }
  Services& services() { return services_; }
  // What the run reports to: the terminal, and the run's events.
  RunReporter& observer() { return reporter_; }
  // What to do, once Start has succeeded.
  const UpdateRequest& request() const { return request_; }
  RunEvents& events() { return events_; }
  // The sink of --json (null without it), for the mode's own records.
  JsonEventSink* json() { return json_ ? &*json_ : nullptr; }
  // Where human output other than the status log goes (stderr).
  std::FILE* err() const { return stderr; }
  // Where a mode's own report goes: stdout, or stderr with --json.
  std::FILE* report() { return json_ ? stderr : stdout; }
  // A mode's findings: to report(), and into the log.
  void Report(const std::string& text);
  // Lines for the log alone (its head and verdict); nothing without --log.
  void Record(const std::string& text);
  bool records() const { return record_ && log_; }
  // What the instrument holds after the run, for the verdict; empty when
  // this run did not change it.
  std::string holdings;

 private:
  const CliOptions& options_;
  bool record_ = false;
  RunEvents events_;
  std::optional<JsonEventSink> json_;
  std::optional<LogFileSink> log_;
  ExplainedOpens explained_;  // why an open failed, after its numbered message
  std::unique_ptr<ProfileStore> profiles_;
  Services services_;
  AppState app_;
  TerminalWindow terminal_;
  RunReporter reporter_;
  StartupControls controls_{reporter_};
  UpdateRequest request_;
};

}  // namespace r7700::cli
