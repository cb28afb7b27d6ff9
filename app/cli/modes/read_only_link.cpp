#include "app/cli/modes/read_only_link.h"

#include <cstdio>

#include "app/update_run.h"
#include "dialogue/loader_verification.h"

namespace r7700::cli {

ReadOnlyLink::ReadOnlyLink(Session& session)
    : session_(session), run_{session.observer(),
                              session.services().clock,
                              {},
                              session.request().options,
                              session.app().paths.firmware_path,
                              session.app().paths.temp_image_path} {
  // Reading writes nothing, so the power supply does not matter here.
  run_.policy.find_monitor_at_run_speed = true;
}

bool ReadOnlyLink::Connect() {
  const UpdateRequest request = session_.request();
  run_.port_name = request.port;
  port_ = OpenRunPort(session_.services().serial, run_.observer, request.port);
  if (port_ == nullptr) return false;
  return ConnectWithRetry(run_, port_.get(), request.baud, ReachMonitor) == kRunSucceeded;
}

std::string ReadOnlyLink::MonitorVersion() {
  ReplyLine reply;
  QueryMonitorVersion(run_, port(), reply);
  return std::string(reply.view());
}

void ReadOnlyLink::Reboot() {
  RebootInstrument(port());
}

void ReadOnlyLink::Close() {
  if (port_ != nullptr) ClosePort(port_);
}

char SeriesOf(const std::string& version) {
  return version.size() > kVersionSeriesIndex ? version[kVersionSeriesIndex] : '?';
}

void ReportUnanswered(Session& session) {
  std::fprintf(session.err(), "r7700-update: %s\n", kUnansweredText.data());
}

JsonObject& AddError(Session& session, JsonObject& record, bool unanswered) {
  if (!session.observer().last_problem().empty()) {
    record.Text("error", session.observer().last_problem());
  } else if (unanswered) {
    record.Text("error", kUnansweredText);
  }
  return record;
}

}  // namespace r7700::cli
