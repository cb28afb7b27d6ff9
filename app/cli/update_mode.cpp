#include "app/cli/modes.h"

#include <cstdio>

#include "app/cli/plan.h"
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

int RunUpdateMode(Session& session) {
  ShowPlan(session);
  PortRunReport report;
  const int status =
      RunExitStatus(UpdateRun(session.app(), session.services(), session.window(), &report));
  session.End();
  // Only the image this run created is deleted, never a file it found.
  DiscardLanguageImage(session.app().image_builder, session.app().paths);
  if (JsonEventSink* json = session.json()) {
    WriteRunResult(*json, session.events().Now(), status, report, session.window(),
                   session.tally());
  }
  return status;
}

}  // namespace r7700::cli
