#include "app/cli/modes/modes.h"

#include <cstdio>
#include <string>

#include "app/cli/modes/plan.h"
#include "app/cli/modes/way_back.h"
#include "app/cli/report/service_record.h"
#include "app/cli/terminal/console.h"
#include "app/update_run.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

int RunExitStatus(int run_result) {
  if (run_result == kRunSucceeded) return kExitSuccess;
  if (run_result == kRunDeclined) return kExitDeclined;
  return kExitRunFailed;
}

RunEnding EndingOf(Session& session, bool interrupted, const PortRunReport& report) {
  const CliOptions& options = session.options();
  return RunEnding{.interrupted = interrupted,
                   .report = report,
                   .firmware_bytes = session.observer().acknowledged_bytes(FrameRegion::kFirmware),
                   .language_bytes = session.observer().acknowledged_bytes(FrameRegion::kLanguages),
                   .baud = session.request().baud,
                   .fast = options.fast,
                   .skip_unchanged = options.skip_unchanged};
}

// A failed or interrupted run that reached the port says what it left and
// what to do now, on stderr and in the log.
void SayWayBack(Session& session, const RunEnding& ending) {
  // Before the monitor was reached, the failure's own box said what to do.
  if (!ending.interrupted && !ending.report.connected) return;
  const std::string text =
      Format("r7700-update: %s; the instrument now holds: %s\nr7700-update: next: %s.\n",
             ending.interrupted ? "interrupted" : "the update failed", HoldingsText(ending).c_str(),
             NextStepText(ending).c_str());
  std::fwrite(text.data(), 1, text.size(), session.err());
  session.Record(text);
}

}  // namespace

std::string InterruptedText(InstrumentReach reach) {
  switch (reach) {
    case InstrumentReach::kUntouched:
      return "interrupted; nothing was sent to the instrument.";
    case InstrumentReach::kTalkedTo:
      return "interrupted; the instrument's flash was not changed: run the same command again "
             "(no power cycle needed).";
    case InstrumentReach::kFlashChanged:
      break;
  }
  return "interrupted while flash was being written: the image being written is not valid now, "
         "the others are as they were; run the same command again with --skip-unchanged (no "
         "power cycle needed).";
}

UpdatePlan ShowPlanBeforeQuestion(Session& session, const std::string& ports) {
  UpdatePlan plan = MakeUpdatePlan(session.app(), session.request());
  plan.port = ports;
  const std::string text = PlanText(plan);
  std::fwrite(text.data(), 1, text.size(), session.err());
  if (JsonEventSink* json = session.json()) {
    JsonObject object = json->Begin(session.events().Now(), "plan");
    json->Write(AddPlanFields(plan, object));
  }
  WarnOfScaledTime(session.err());
  const std::string notes = QuestionNotes(plan);
  std::fwrite(notes.data(), 1, notes.size(), session.err());
  std::fflush(session.err());
  return plan;
}

void WarnOfScaledTime(std::FILE* err) {
  const double scale = TimeScaleFromEnvironment(nullptr);
  if (scale == 1.0) return;
  std::fprintf(err,
               "r7700-update: %s=%g: every wait is scaled; for the simulated instrument only\n",
               kTimeScaleVariable, scale);
}

int RunUpdateMode(Session& session) {
  ShowPlanBeforeQuestion(session, session.request().port);
  PortRunReport report;
  const UpdateRequest request = session.request();
  const int result =
      UpdateRun(session.app(), session.services(), request, session.observer(), &report);
  int status = RunExitStatus(result);
  session.End();
  session.Record(InstrumentText(report.identity, report.monitor_version));
  // Only the image this run created is deleted, never a file it found.
  DiscardLanguageImage(session.app().image_builder, session.app().paths);
  const bool interrupted = result == kRunInterrupted || InterruptExitStatus() != 0;
  const RunEnding ending = EndingOf(session, interrupted, report);
  if (report.connected) session.holdings = HoldingsText(ending);
  if (interrupted) status = InterruptExitStatus();
  if (interrupted && session.app().run_reach == InstrumentReach::kUntouched) {
    std::fprintf(session.err(), "r7700-update: %s\n",
                 InterruptedText(InstrumentReach::kUntouched).c_str());
  } else if (interrupted || result == kRunFailed) {
    SayWayBack(session, ending);
  }
  if (JsonEventSink* json = session.json()) {
    WriteRunResult(*json, session.events().Now(), status, report, request, session.observer());
  }
  return status;
}

}  // namespace r7700::cli
