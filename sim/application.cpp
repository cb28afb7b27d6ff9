// The instrument application's command interpreter: the few queries the
// update tool asks before it wakes the boot monitor. Replies close with
// "<END>", on a line of its own after the identification.
#include <string>
#include <utility>

#include "link/text_format.h"
#include "sim/core.h"

namespace r7700::sim {
namespace {

constexpr int64_t kApplicationReplyUs = 30000;
// The application shuts down and the boot monitor starts: what the PC sends
// meanwhile is lost.
constexpr int64_t kMonitorStartUs = 1200000;
constexpr const char* kWakeUpLine = "S27413:B5D08A9C3E1";

const char* PowerAnswer(Power power) {
  switch (power) {
    case Power::kAc:
      return "AC<END>";
    case Power::kCharging:
      return "CHAR<END>";
    case Power::kBattery:
      return "BAT<END>";
  }
  return "BAT<END>";
}

}  // namespace

void RunApplicationCommand(Core& core, const std::string& line, int64_t at_us) {
  const int64_t reply_us = at_us + kApplicationReplyUs;
  if (line == "*idn?") {
    if (std::exchange(core.stale_end_pending, false)) SayLine(core, "<END>", reply_us);
    SayLine(core, Format("VQ R7700%c Reflectometer, firmware 4.20", core.config.series), reply_us);
    SayLine(core, "<END>", reply_us);
  } else if (line == "stat:pow:acdc?") {
    SayLine(core, PowerAnswer(core.config.power), reply_us);
  } else if (line == kWakeUpLine) {
    const int64_t ready_us = at_us + kMonitorStartUs;
    core.agent = Agent::kMonitor;
    core.deaf_until_us = ready_us;
    core.busy_us += ready_us - at_us;
    SayLine(core, "Boot monitor 4.20", ready_us);
    SayPrompt(core, ready_us);
  } else if (!line.empty()) {
    SayLine(core, "ERROR<END>", reply_us);
  }
}

}  // namespace r7700::sim
