#include "app/cli/several/several_ports.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/modes/modes.h"
#include "app/cli/modes/plan.h"
#include "app/cli/several/port_runs.h"
#include "app/cli/several/summary_table.h"
#include "app/cli/terminal/console.h"
#include "app/update_run.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr int kFallbackColumns = 80;

// The languages a completed language download has loaded, in slot order.
std::string ChosenLanguages(const AppState& app) {
  std::vector<std::string> names;
  for (const int32_t row : app.selected) {
    if (row > 0 && row < kLanguageRows)
      names.push_back(app.choices.rows[static_cast<size_t>(row)].name);
  }
  return NamesText(names);
}

}  // namespace

int UpdateSeveralInstruments(const CliOptions& options, Session& session, SerialBackend& backend) {
  AppState& app = session.app();
  JsonEventSink* json = session.json();
  // The questions and the image are those of all ports, not of the first.
  if (json != nullptr) json->set_port_label({});
  std::FILE* out = json != nullptr ? stderr : stdout;
  const UpdateRequest request = session.request();
  const UpdatePlan plan = ShowPlanBeforeQuestion(session, Joined(options.ports));
  std::fprintf(stderr, "%zu instruments at once: %s\n", options.ports.size(),
               Joined(options.ports).c_str());
  const bool confirmed = ConfirmConnected(session.observer());
  // One image for all: built here, read by every port's download.
  const bool prepared = confirmed && PrepareRun(app, request, session.observer()) == kRunSucceeded;
  // An interrupt before the ports' runs began has touched no instrument.
  if (InterruptExitStatus() != 0) {
    std::fprintf(stderr, "r7700-update: %s\n",
                 InterruptedText(InstrumentReach::kUntouched).c_str());
    return kExitDeclined;
  }
  if (!confirmed) return kExitDeclined;
  if (!prepared) return kExitRunFailed;
  session.End();

  const PortRunsJob job{.serial = backend,
                        .clock = session.services().clock,
                        .request = request,
                        .firmware_path = app.paths.firmware_path,
                        .language_image_path = app.paths.temp_image_path,
                        .log_dir = options.log_dir,
                        .head = {.command = options.command_line,
                                 .baud = request.baud,
                                 .images = PlanImageLines(plan)},
                        .json = json != nullptr ? stdout : nullptr,
                        .trace = options.trace,
                        .cancel = session.services().cancel};
  DisplayStreams streams;
  streams.out = out;
  streams.redraw = IsTerminal(stderr);
  streams.out_on_same_screen = IsTerminal(out);
  streams.columns = TerminalColumns(stderr, kFallbackColumns);
  MultiDisplay display(streams, options.ports);
  const std::vector<PortOutcome> outcomes = UpdatePorts(job, options.ports, display);

  // Only a terminal has a width; a file or pipe gets every column.
  const std::string table =
      SummaryTable(outcomes, ChosenLanguages(app), IsTerminal(out) ? streams.columns : 0);
  std::fwrite(table.data(), 1, table.size(), out);
  for (const PortOutcome& outcome : outcomes) {
    if (!outcome.log_path.empty()) {
      std::fprintf(out, "log of %s: %s\n", outcome.port.c_str(), outcome.log_path.c_str());
    }
  }
  std::fflush(out);
  for (const PortOutcome& outcome : outcomes) {
    if (outcome.result != kRunInterrupted) continue;
    std::fprintf(stderr, "%s: %s\n", outcome.port.c_str(), InterruptedText(outcome.reach).c_str());
  }
  const int status = SeveralPortsExitStatus(outcomes);
  if (json != nullptr) json->Write(ResultRecord(*json, session.events().Now(), status));
  return status;
}

}  // namespace r7700::cli
