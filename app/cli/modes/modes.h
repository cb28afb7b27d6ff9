// The modes of r7700-update over a started session, each composed of the
// core's stages: the update itself, --info and --verify.
#pragma once

#include <cstdio>
#include <string>

#include "app/cli/modes/plan.h"
#include "app/cli/session.h"
#include "link/run_context.h"

namespace r7700::cli {

// Shows the plan, runs the update and returns the exit status; with --json
// the last record is the result.
int RunUpdateMode(Session& session);

// The plan for the named port or ports, the scaled-time warning and the
// notes that belong to the Verify question, on err; the plan also as JSON.
// Returns the plan shown.
UpdatePlan ShowPlanBeforeQuestion(Session& session, const std::string& ports);

// Before a question that leads to writing flash: says on err when every
// wait is scaled (R7700_TIME_SCALE other than 1), which suits only the
// simulated instrument.
void WarnOfScaledTime(std::FILE* err);

// What an interrupted run leaves behind, and what the user does about it:
// one sentence starting "interrupted".
std::string InterruptedText(InstrumentReach reach);

// Connects read-only, prints what the instrument holds and reboots it.
int RunInfoMode(Session& session);

// Compares, read-only, what the instrument holds with what the update with
// the same options would write; kExitDiffers when anything differs.
int RunVerifyMode(Session& session);

}  // namespace r7700::cli
