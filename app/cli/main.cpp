// r7700-update: the command-line front end. It starts as the window does
// (catalogue names, ports, link speeds, settings file, language lists), sets
// the controls from the command line as a user would, runs one update and
// turns its result into the exit status.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli/apply_options.h"
#include "app/cli/console.h"
#include "app/cli/options.h"
#include "app/cli/several_ports.h"
#include "app/cli/terminal_window.h"
#include "app/language_lists.h"
#include "app/startup.h"
#include "app/update_run.h"

namespace r7700::cli {
namespace {

void Complain(const std::string& text) {
  std::fprintf(stderr, "r7700-update: %s\n", text.c_str());
}

int ListFreePorts(SerialBackend& backend) {
  FreePortList list;
  FindFreePorts(backend, list);
  for (const std::string& name : list.names) std::printf("%s\n", name.c_str());
  return kExitSuccess;
}

// A home folder that cannot be listed would only show up later as a missing
// catalogue; saying so at once names the real cause.
bool IsReadableFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::directory_iterator listing(folder, error);
  return !error && std::filesystem::is_directory(folder, error);
}

int RunExitStatus(int run_result) {
  if (run_result == kRunSucceeded) return kExitSuccess;
  if (run_result == kRunDeclined) return kExitDeclined;
  return kExitRunFailed;
}

int UpdateInstrument(const CliOptions& options, SerialBackend& backend, Clock& clock) {
  std::unique_ptr<ProfileStore> profiles = MakePlatformProfileStore();
  Services services{backend, *profiles, clock};
  AppState app;
  app.paths = options.home.empty() ? ResolveDataPaths() : ResolveDataPathsForFolder(options.home);

  TerminalStreams streams;
  streams.progress_bar = IsTerminal(stderr);
  streams.out_on_same_screen = IsTerminal(stdout);
  streams.in_is_terminal = IsTerminal(stdin);
  TerminalWindow window(streams, options.assume_yes);

  // The loader that failed has shown its numbered message.
  if (LoadStartupData(app, services, window, options.port) != 0) return kExitStartupFailed;
  FillLanguageLists(window, app.choices, app.selected);
  std::string problem;
  std::string notice;
  if (!ApplyCliOptions(options, app, window, &problem, &notice)) {
    Complain(problem);
    return kExitUsage;
  }
  if (!notice.empty()) Complain(notice);

  if (options.ports.size() > 1) {
    const int status = UpdateSeveralInstruments(options, app, services, window);
    std::remove(app.paths.temp_image_path.c_str());
    return status;
  }
  const int result = UpdateRun(app, services, window);
  window.EndProgressLine();
  // Only the image this run created is deleted, never a file it found.
  DiscardLanguageImage(app.image_builder, app.paths);
  return RunExitStatus(result);
}

int Main(const std::vector<std::string>& args) {
  CliOptions options;
  std::string problem;
  if (!ParseCliOptions(args, &options, &problem)) {
    Complain(problem + " (see r7700-update --help)");
    return kExitUsage;
  }
  if (options.help) {
    std::fwrite(kUsageText.data(), 1, kUsageText.size(), stdout);
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
  if (options.list_ports) return ListFreePorts(*backend);
  if (!options.home.empty() && !IsReadableFolder(options.home)) {
    Complain("--home " + options.home + ": not a readable folder");
    return kExitUsage;
  }
  return UpdateInstrument(options, *backend, clock);
}

}  // namespace
}  // namespace r7700::cli

int main(int argc, char** argv) {
  return r7700::cli::Main(std::vector<std::string>(argv + 1, argv + argc));
}
