// The plan shown before the Verify question: where the run will talk, what
// it will send and what it will erase, in the terms a technician checks
// against the instrument's memory map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/cli/report/json_writer.h"
#include "app/update_contents.h"
#include "app/update_request.h"

namespace r7700::cli {

struct MemoryRange {
  std::string name;  // "firmware region", "user flash", "language area"
  uint32_t first = 0;
  uint32_t last = 0;  // inclusive
};

struct UpdatePlan {
  std::string port;
  int32_t baud = 0;
  RunOptions options;
  bool skip_unchanged = false;  // erase and send only what differs, found after connecting
  bool firmware_chosen = false;
  std::string firmware_path;
  bool firmware_readable = false;
  FirmwareContents firmware;
  bool languages_chosen = false;
  std::vector<std::string> languages;  // in slot order, "None" left out
  std::vector<MemoryRange> erased;
};

// Reads the choices as the run will read them (boxes, lists, options) and
// the firmware image file.
UpdatePlan MakeUpdatePlan(const AppState& app, const UpdateRequest& request);

// Lines of "  label  value", headed "Plan:".
std::string PlanText(const UpdatePlan& plan);
// The image files for the log's head: "firmware PATH: ..." as the plan
// says it, and "languages NAMES" when they are loaded.
std::vector<std::string> PlanImageLines(const UpdatePlan& plan);

// The lines right before the Verify question: the speed the update will
// use, and a warning for each erase the user cannot undo (the instrument's
// user data, the boot sector), whether an option or the settings file asked
// for it.
std::string QuestionNotes(const UpdatePlan& plan);
// The plan's fields for the "plan" event (the port is the event's own field).
JsonObject& AddPlanFields(const UpdatePlan& plan, JsonObject& object);

}  // namespace r7700::cli
