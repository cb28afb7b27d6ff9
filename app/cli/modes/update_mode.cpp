#include "app/cli/modes/modes.h"

#include <cstdio>
#include <string>

#include "app/cli/modes/plan.h"
#include "app/cli/terminal/console.h"
#include "app/update_run.h"

namespace r7700::cli {
namespace {

int RunExitStatus(int run_result) {
  if (run_result == kRunSucceeded) return kExitSuccess;
  if (run_result == kRunDeclined) return kExitDeclined;
  return kExitRunFailed;
}

void ShowPlan(Session& session) {
  const UpdatePlan plan = MakeUpdatePlan(session.app(), session.window());
  const std::string text = PlanText(plan);
  std::fwrite(text.data(), 1, text.size(), session.err());
  std::fflush(session.err());
  if (JsonEventSink* json = session.json()) {
    JsonObject object = json->Begin(session.events().Now(), "plan");
    json->Write(AddPlanFields(plan, object));
  }
}

}  // namespace

std::string InterruptedText(InstrumentReach reach) {
  switch (reach) {
    case InstrumentReach::kUntouched:
      return "interrupted; nothing was sent to the instrument.";
    case InstrumentReach::kTalkedTo:
      return "interrupted; the instrument's flash was not changed, but it may wait in its "
             "boot monitor at another speed: cycle its power, then run the update again at "
             "19200 baud.";
    case InstrumentReach::kFlashChanged:
      break;
  }
  return "interrupted while flash was being written; the instrument holds no valid firmware "
         "or languages now: cycle its power, then run the update again at 19200 baud.";
}

void WarnOfScaledTime(std::FILE* err) {
  const double scale = TimeScaleFromEnvironment(nullptr);
  if (scale == 1.0) return;
  std::fprintf(err,
               "r7700-update: %s=%g: every wait is scaled; for the simulated instrument only\n",
               kTimeScaleVariable, scale);
}

int RunUpdateMode(Session& session) {
  ShowPlan(session);
  WarnOfScaledTime(session.err());
  PortRunReport report;
  const int result = UpdateRun(session.app(), session.services(), session.window(), &report);
  int status = RunExitStatus(result);
  session.End();
  // Only the image this run created is deleted, never a file it found.
  DiscardLanguageImage(session.app().image_builder, session.app().paths);
  if (result == kRunInterrupted || InterruptExitStatus() != 0) {
    status = InterruptExitStatus();
    std::fprintf(session.err(), "r7700-update: %s\n",
                 InterruptedText(session.app().run_reach).c_str());
  }
  if (JsonEventSink* json = session.json()) {
    WriteRunResult(*json, session.events().Now(), status, report, session.window(),
                   session.tally());
  }
  return status;
}

}  // namespace r7700::cli
