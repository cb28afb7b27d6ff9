// r7700-update: the command-line front end. It starts as the window does
// (catalogue names, ports, link speeds, settings file, language lists), sets
// the controls from the command line as a user would, runs one update and
// turns its result into the exit status.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli/command_line/options.h"
#include "app/cli/modes/modes.h"
#include "app/cli/modes/plan.h"
#include "app/cli/modes/start_checks.h"
#include "app/cli/ports/port_choice.h"
#include "app/cli/ports/port_list_json.h"
#include "app/cli/report/json_events.h"
#include "app/cli/report/service_record.h"
#include "app/cli/session.h"
#include "app/cli/several/several_ports.h"
#include "app/cli/terminal/console.h"

namespace r7700::cli {
namespace {

void Complain(const std::string& text) {
  std::fprintf(stderr, "r7700-update: %s\n", text.c_str());
}

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

std::vector<SerialPortInfo> ProbedPorts(SerialBackend& backend) {
  std::vector<SerialPortInfo> ports = FindSerialPorts(PortRoots{});
  ProbePorts(backend, ports);
  return ports;
}

// With --json one result record holds the list, and the note when no port
// can be used; the note goes to stderr either way.
int ListPorts(SerialBackend& backend, bool json) {
  const RunEvents events;
  const std::vector<SerialPortInfo> ports = ProbedPorts(backend);
  const std::string note = NoUsablePortNote(ports);
  if (json) {
    JsonEventSink sink(stdout, {});
    JsonObject record = ResultRecord(sink, events.Now(), kExitSuccess);
    record.Raw("ports", PortListJson(ports));
    if (!note.empty()) record.Text("note", note);
    sink.Write(record);
  } else {
    Print(stdout, PortListing(ports));
  }
  if (!note.empty()) Complain(note);
  return kExitSuccess;
}

// Without --port only an unmistakable choice is made, and named; otherwise
// the ports are listed and nothing is sent.
bool ChooseOnlyAdapter(SerialBackend& backend, std::string* port) {
  const std::vector<SerialPortInfo> ports = ProbedPorts(backend);
  const PortChoice choice = ChoosePort(ports);
  if (choice.port.empty()) Print(stderr, PortListing(ports));
  Complain(choice.why);
  *port = choice.port;
  return !port->empty();
}

// --all-ports: the USB serial adapters as --list-ports finds them. They are
// not probed here: one that is busy fails at its open, reported on its line.
bool TakeAllAdapters(std::vector<std::string>* names) {
  const std::vector<SerialPortInfo> ports = FindSerialPorts(PortRoots{});
  for (const SerialPortInfo& port : ports) {
    if (port.usb) names->push_back(port.name);
  }
  if (names->empty()) {
    Print(stderr, PortListing(ports));
    Complain("--all-ports: no USB serial adapter found");
  }
  return !names->empty();
}

// A home folder that cannot be listed would only show up later as a missing
// catalogue; saying so at once names the real cause.
bool IsReadableFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::directory_iterator listing(folder, error);
  return !error && std::filesystem::is_directory(folder, error);
}

// --log appends, so one file can hold the runs of a whole shift.
std::FILE* OpenLog(const CliOptions& options, std::string* problem) {
  if (options.log_path.empty()) return options.trace ? stderr : nullptr;
  std::FILE* log = std::fopen(options.log_path.c_str(), "a");
  if (log == nullptr) {
    *problem = "--log " + options.log_path + ": cannot open: " + std::strerror(errno);
    return nullptr;
  }
  // An empty line between the runs of one file.
  if (std::fseek(log, 0, SEEK_END) == 0 && std::ftell(log) > 0) std::fputc('\n', log);
  return log;
}

// The ports a run needs are checked before its question, as its files are
// (InputsProblem): a run refused here has sent nothing.
std::vector<std::string> PortProblems(const CliOptions& options, SerialBackend& backend) {
  std::vector<std::string> problems;
  // --all-ports takes the adapters as found: a busy one fails on its own line.
  for (const std::string& port : options.all_ports ? std::vector<std::string>{} : options.ports) {
    if (std::string problem = PortProblem(backend, port); !problem.empty()) {
      problems.push_back(problem);
    }
  }
  return problems;
}

// The log's head: what a technician files with the run.
RunHead HeadOf(const CliOptions& options, Session& session, bool images_sound) {
  const UpdateRequest request = session.request();
  RunHead head{.command = options.command_line, .port = request.port, .baud = request.baud};
  if (!images_sound || options.info) return head;
  const UpdatePlan plan = MakeUpdatePlan(session.app(), request);
  head.images = PlanImageLines(plan);
  return head;
}

int ModeStatus(const CliOptions& options, Session& session, SerialBackend& backend) {
  int started = session.Start();
  std::vector<std::string> problems;
  if (started == kExitSuccess && !options.info) {
    if (std::string problem = InputsProblem(session.app(), session.request()); !problem.empty()) {
      problems.push_back(problem);
    }
  }
  // The images are read for the head only once they are known to be files.
  if (session.records()) {
    session.Record(HeadText(HeadOf(options, session, started == kExitSuccess && problems.empty())));
  }
  if (started == kExitSuccess) {
    const std::vector<std::string> ports = PortProblems(options, backend);
    problems.insert(problems.end(), ports.begin(), ports.end());
  }
  for (const std::string& problem : problems) {
    Complain(problem);
    session.Record(problem + "\n");
  }
  if (!problems.empty()) started = kExitStartupFailed;
  if (started != kExitSuccess) {
    session.End();
    if (JsonEventSink* json = session.json()) {
      json->Write(ResultRecord(*json, session.events().Now(), started));
    }
    return started;
  }
  if (options.info) return RunInfoMode(session);
  if (options.verify) return RunVerifyMode(session);
  // A run that may write flash is never ended by a closed pipe or terminal;
  // an interrupt ends it in order.
  CatchInterrupts();
  if (UpdatesSeveral(options)) {
    const int status = UpdateSeveralInstruments(options, session, backend);
    DiscardLanguageImage(session.app().image_builder, session.app().paths);
    // Each port has said what its interruption left behind.
    return InterruptExitStatus() == 0 ? status : InterruptExitStatus();
  }
  return RunUpdateMode(session);
}

int RunMode(const CliOptions& options, SerialBackend& backend, Clock& clock, std::FILE* log) {
  SessionOutputs outputs;
  outputs.json = options.json ? stdout : nullptr;
  outputs.log = log;
  outputs.record = !options.log_path.empty();
  outputs.trace = options.trace;
  const bool read_only = options.info || options.verify;
  outputs.json_events = !read_only;
  outputs.log_to_stderr = read_only;
  Session session(options, backend, clock, outputs);
  const int status = ModeStatus(options, session, backend);
  session.Record(VerdictText(status, session.events().Now().seconds, session.holdings));
  return status;
}

// --info on several ports reads one instrument after the other, each a
// run of its own with its own report and record; the status is the last
// port's that did not succeed.
int InfoOnEachPort(const CliOptions& options, SerialBackend& backend, Clock& clock) {
  int status = kExitSuccess;
  for (const std::string& port : options.ports) {
    CliOptions one = options;
    one.port = port;
    one.ports = {port};
    if (const int read = RunMode(one, backend, clock, nullptr); read != kExitSuccess) status = read;
  }
  return status;
}

int UpdateInstrument(const CliOptions& options, SerialBackend& backend, Clock& clock) {
  // Several ports log to --log-dir, one file each, the dialogue too with --trace.
  if (UpdatesSeveral(options) && (options.verify || !options.log_path.empty())) {
    Complain("--verify and --log take one --port (several ports: --log-dir)");
    return kExitUsage;
  }
  if (UpdatesSeveral(options) && options.info && !options.log_dir.empty()) {
    Complain("--info on several ports writes no --log-dir logs");
    return kExitUsage;
  }
  if (UpdatesSeveral(options) && options.trace && options.log_dir.empty()) {
    Complain("--trace with several ports needs --log-dir");
    return kExitUsage;
  }
  std::string problem;
  if (!options.log_dir.empty()) problem = LogFolderProblem(options.log_dir);
  std::FILE* log = problem.empty() ? OpenLog(options, &problem) : nullptr;
  if (!problem.empty()) {
    Complain(problem);
    return kExitStartupFailed;
  }
  const int status = UpdatesSeveral(options) && options.info
                         ? InfoOnEachPort(options, backend, clock)
                         : RunMode(options, backend, clock, log);
  if (log != nullptr && log != stderr) std::fclose(log);
  return status;
}

// As a shell would take it back: arguments with blanks or quotes quoted.
std::string CommandLineText(const std::vector<std::string>& args) {
  std::string text = "r7700-update";
  for (const std::string& arg : args) {
    const bool plain = arg.find_first_of(" \t'\"") == std::string::npos && !arg.empty();
    text += " " + (plain ? arg : "'" + arg + "'");
  }
  return text;
}

int Main(const std::vector<std::string>& args) {
  MakeStandardDescriptorsValid();
  CliOptions options;
  std::string problem;
  if (!ParseCliOptions(args, &options, &problem)) {
    Complain(problem + " (see r7700-update --help)");
    return kExitUsage;
  }
  options.command_line = CommandLineText(args);
  if (options.help) {
    const std::string usage = UsageText();
    std::fwrite(usage.data(), 1, usage.size(), stdout);
    return kExitSuccess;
  }
  if (options.version) {
    std::fwrite(kVersionText.data(), 1, kVersionText.size(), stdout);
    return kExitSuccess;
  }
  const double time_scale = TimeScaleFromEnvironment(&problem);
  if (!problem.empty()) Complain(problem);
  RealClock clock(time_scale);
  std::unique_ptr<SerialBackend> backend = MakePlatformSerialBackend(time_scale);
  if (options.list_ports) return ListPorts(*backend, options.json);
  if (!options.home.empty() && !IsReadableFolder(options.home)) {
    Complain("--home " + options.home + ": not a readable folder");
    return kExitUsage;
  }
  CliOptions chosen = options;
  if (chosen.all_ports && !TakeAllAdapters(&chosen.ports)) return kExitUsage;
  if (chosen.all_ports) chosen.port = chosen.ports.front();
  if (chosen.port.empty()) {
    if (!ChooseOnlyAdapter(*backend, &chosen.port)) return kExitUsage;
    chosen.ports = {chosen.port};
  }
  return UpdateInstrument(chosen, *backend, clock);
}

}  // namespace
}  // namespace r7700::cli

int main(int argc, char** argv) {
  return r7700::cli::Main(std::vector<std::string>(argv + 1, argv + argc));
}
