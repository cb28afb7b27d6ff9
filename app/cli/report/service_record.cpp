#include "app/cli/report/service_record.h"

#include "app/cli/command_line/options.h"
#include "app/cli/report/json_events.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr int kSecondsPerMinute = 60;

}  // namespace

std::string HeadText(const RunHead& head) {
  std::string text = "run: " + std::string(kVersionText);
  text += "command: " + head.command + "\n";
  text += Format("port: %s, %ld baud\n", head.port.c_str(), static_cast<long>(head.baud));
  for (const std::string& image : head.images) text += image + "\n";
  return text;
}

std::string InstrumentText(const std::string& identity, const std::string& monitor) {
  if (identity.empty()) return {};
  std::string text = "instrument: " + identity + "\n";
  if (!monitor.empty()) text += "monitor: " + monitor + "\n";
  return text;
}

std::string VerdictText(int exit_status, double seconds, const std::string& holdings) {
  const long whole = static_cast<long>(seconds);
  std::string text =
      Format("verdict: %s, exit %d, %ld:%02ld", std::string(ExitOutcomeName(exit_status)).c_str(),
             exit_status, whole / kSecondsPerMinute, whole % kSecondsPerMinute);
  if (!holdings.empty()) text += ", " + holdings;
  return text + "\n";
}

}  // namespace r7700::cli
