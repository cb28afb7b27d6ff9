#include "app/cli/several/port_runs.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

#include "app/cli/command_line/options.h"
#include "app/cli/modes/way_back.h"
#include "app/cli/ports/port_choice.h"
#include "app/cli/report/json_events.h"
#include "app/cli/report/log_file.h"
#include "app/cli/report/run_events.h"
#include "app/cli/report/run_reporter.h"
#include "app/cli/report/service_record.h"
#include "app/cli/several/port_window.h"
#include "app/cli/several/summary_table.h"
#include "app/cli/terminal/console.h"
#include "app/resources/resource.h"
#include "languages/image_builder.h"
#include "link/explained_opens.h"

namespace r7700::cli {
namespace {

constexpr std::string_view kDevicePrefix = "/dev/";
constexpr size_t kStampBytes = 32;
constexpr std::string_view kLogSuffix = ".log";
constexpr int kLogNameTries = 100;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using LogFile = std::unique_ptr<std::FILE, FileCloser>;

// Read once on the calling thread, before any port's thread starts.
std::string LocalTimeStamp() {
  const std::time_t now = std::time(nullptr);
  char stamp[kStampBytes] = {};
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
  return stamp;
}

// A new file of its own, never one another run or port has: a name taken
// (two runs in one second, two names of one device) gets a number.
LogFile CreateLogFile(const std::string& folder, const std::string& name, std::string* path) {
  const std::string stem = name.substr(0, name.size() - kLogSuffix.size());
  for (int copy = 1; copy <= kLogNameTries; ++copy) {
    *path = folder + "/" +
            (copy == 1 ? name : stem + "-" + std::to_string(copy) + std::string(kLogSuffix));
    if (std::FILE* file = CreateFileExclusive(*path)) return LogFile(file);
    if (!std::filesystem::exists(*path)) break;
  }
  return nullptr;
}

// The exit status that one port's run alone would have had.
int PortExitStatus(int result) {
  if (result == kRunSucceeded) return kExitSuccess;
  return result == kRunInterrupted ? InterruptExitStatus() : kExitRunFailed;
}

// One instrument's update, start to end, on the calling thread, with its
// own events and sinks; its window shows it on the shared display.
void UpdateOnePort(const PortRunsJob& job, const std::string& port, size_t index,
                   MultiDisplay& display, std::FILE* log, PortOutcome& outcome) {
  RunEvents events;
  std::optional<JsonEventSink> json;
  if (job.json != nullptr) events.Add(json.emplace(job.json, port));
  std::optional<LogFileSink> log_sink;
  if (log != nullptr) events.Add(log_sink.emplace(log, job.trace));
  RunHead head = job.head;
  head.port = port;
  if (log_sink) log_sink->Write(events.Now(), HeadText(head));
  PortWindow port_window(display, index, events);
  ExplainedOpens explained(job.serial,
                           [&](const std::string& name, const PortOpenFailure& failure) {
                             const std::string note = port_window.ExplainOpenFailure(name, failure);
                             if (log_sink) log_sink->Write(events.Now(), note);
                           });
  RunReporter& reporter = port_window.reporter();
  UpdateRequest request = job.request;
  request.port = port;

  CancellableClock clock(job.clock, job.cancel);
  RunContext run{reporter, clock, {}, request.options, job.firmware_path, job.language_image_path};
  run.cancel = job.cancel;
  run.policy = request.policy;
  outcome.result = UpdateOnPort(run, explained, request, &outcome.report);
  // The summary table ends the runs; no port shows a SUCCESS box of its own.
  reporter.FlushLogLine();
  outcome.reach = run.reach;
  if (outcome.result != kRunSucceeded) outcome.failure = port_window.FailureText();
  outcome.seconds = events.Now().seconds;
  const int exit_status = PortExitStatus(outcome.result);
  if (log_sink) {
    const std::string holdings =
        outcome.report.connected
            ? HoldingsText(
                  RunEnding{.report = outcome.report,
                            .firmware_bytes = reporter.acknowledged_bytes(FrameRegion::kFirmware),
                            .language_bytes = reporter.acknowledged_bytes(FrameRegion::kLanguages)})
            : std::string();
    log_sink->Write(events.Now(),
                    InstrumentText(outcome.report.identity, outcome.report.monitor_version) +
                        VerdictText(exit_status, outcome.seconds, holdings));
  }
  if (json) WriteRunResult(*json, events.Now(), exit_status, outcome.report, request, reporter);
  PortStatus status;
  status.stage = ResultText(outcome);
  display.Status(index, status);
}

}  // namespace

std::string PortLogFileName(const std::string& port, const std::string& stamp) {
  std::string name = port.starts_with(kDevicePrefix) ? port.substr(kDevicePrefix.size()) : port;
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == ':') c = '-';
  }
  return name + "-" + stamp + std::string(kLogSuffix);
}

std::vector<PortOutcome> UpdatePorts(const PortRunsJob& job, const std::vector<std::string>& ports,
                                     MultiDisplay& display) {
  std::vector<PortOutcome> outcomes(ports.size());
  std::vector<LogFile> logs(ports.size());
  const std::string stamp = LocalTimeStamp();
  for (size_t i = 0; i < ports.size(); ++i) {
    outcomes[i].port = ports[i];
    if (job.log_dir.empty()) continue;
    logs[i] = CreateLogFile(job.log_dir, PortLogFileName(ports[i], stamp), &outcomes[i].log_path);
    if (logs[i] != nullptr) continue;
    display.Box(i, "Log", "cannot write " + outcomes[i].log_path);
    outcomes[i].log_path.clear();
  }
  std::vector<std::thread> threads;
  threads.reserve(ports.size());
  for (size_t i = 0; i < ports.size(); ++i) {
    threads.emplace_back(UpdateOnePort, std::cref(job), std::cref(ports[i]), i, std::ref(display),
                         logs[i].get(), std::ref(outcomes[i]));
  }
  for (std::thread& thread : threads) thread.join();
  display.Finish();
  return outcomes;
}

}  // namespace r7700::cli
