#include "app/cli/several/port_runs.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <thread>

#include "app/cli/command_line/options.h"
#include "app/cli/report/json_events.h"
#include "app/cli/report/log_file.h"
#include "app/cli/report/observed_window.h"
#include "app/cli/report/run_events.h"
#include "app/cli/report/traced_serial.h"
#include "app/cli/report/transfer_tally.h"
#include "app/cli/several/port_window.h"
#include "app/cli/terminal/console.h"
#include "app/resources/resource.h"

namespace r7700::cli {
namespace {

constexpr std::string_view kDevicePrefix = "/dev/";
constexpr size_t kStampBytes = 32;

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

// The exit status that one port's run alone would have had.
int PortExitStatus(int result) {
  if (result == kRunSucceeded) return kExitSuccess;
  return result == kRunInterrupted ? InterruptExitStatus() : kExitRunFailed;
}

// One instrument's update, start to end, on the calling thread, with its
// own events and sinks. Its window carries the download boxes as the main
// window had them at Start.
void UpdateOnePort(const PortRunsJob& job, const std::string& port, size_t index,
                   MultiDisplay& display, std::FILE* log, PortOutcome& outcome) {
  RunEvents events;
  TransferTally tally;
  events.Add(tally);
  std::optional<JsonEventSink> json;
  if (job.json != nullptr) events.Add(json.emplace(job.json, port));
  std::optional<LogFileSink> log_sink;
  if (log != nullptr) events.Add(log_sink.emplace(log, job.trace));
  TracedSerialBackend serial(job.serial, events);
  PortWindow port_window(display, index);
  ObservedWindow window(port_window, events);
  window.SetChecked(IDC_DOWNLOAD_FIRMWARE, job.download_firmware);
  window.SetChecked(IDC_DOWNLOAD_LANGUAGES, job.download_languages);

  CancellableClock clock(job.clock, job.cancel);
  RunContext run{window, clock, {}, job.options, job.firmware_path, job.language_image_path};
  run.cancel = job.cancel;
  run.policy = job.policy;
  outcome.result = UpdateOnPort(run, serial, port, job.baud, &outcome.report);
  window.FlushLogLine();
  port_window.EndLog();
  outcome.identity = run.identity;
  outcome.reach = run.reach;
  if (outcome.result != kRunSucceeded) outcome.failure = port_window.last_box_text();
  outcome.seconds = events.Now().seconds;
  if (json) {
    WriteRunResult(*json, events.Now(), PortExitStatus(outcome.result), outcome.report, window,
                   tally);
  }
  PortStatus status;
  status.stage = outcome.result == kRunSucceeded     ? "done"
                 : outcome.result == kRunInterrupted ? "INTERRUPTED"
                                                     : "FAILED";
  display.Status(index, status);
}

}  // namespace

std::string PortLogFileName(const std::string& port, const std::string& stamp) {
  std::string name = port.starts_with(kDevicePrefix) ? port.substr(kDevicePrefix.size()) : port;
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == ':') c = '-';
  }
  return name + "-" + stamp + ".log";
}

std::vector<PortOutcome> UpdatePorts(const PortRunsJob& job, const std::vector<std::string>& ports,
                                     MultiDisplay& display) {
  std::vector<PortOutcome> outcomes(ports.size());
  std::vector<LogFile> logs(ports.size());
  const std::string stamp = LocalTimeStamp();
  for (size_t i = 0; i < ports.size(); ++i) {
    outcomes[i].port = ports[i];
    if (job.log_dir.empty()) continue;
    outcomes[i].log_path = job.log_dir + "/" + PortLogFileName(ports[i], stamp);
    logs[i].reset(std::fopen(outcomes[i].log_path.c_str(), "w"));
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
