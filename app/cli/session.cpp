#include "app/cli/session.h"

#include "app/cli/command_line/apply_options.h"
#include "app/cli/ports/port_choice.h"
#include "app/cli/terminal/console.h"
#include "app/language_lists.h"
#include "app/settings.h"
#include "app/startup.h"
#include "link/error_report.h"
#include "link/serial_port.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

// With --json stdout carries the events alone, with --info and --verify
// what they found; the status log joins the other human output on stderr.
TerminalStreams StreamsFor(const SessionOutputs& outputs) {
  TerminalStreams streams;
  streams.progress_bar = IsTerminal(stderr);
  streams.in_is_terminal = IsTerminal(stdin);
  streams.interrupted = &InterruptFlag();
  streams.columns = [] { return TerminalColumns(stderr, 0); };
  if (outputs.json != nullptr || outputs.log_to_stderr) {
    streams.out = stderr;
    streams.out_on_same_screen = true;
  } else {
    streams.out_on_same_screen = SharesScreenOrFile(stdout, stderr);
  }
  return streams;
}

// Which folder a numbered start-up message was about, and where it came
// from: the message names a file, not where it was looked for.
std::string SearchedFolderNote(int message, const DataPaths& paths, bool home_given) {
  const std::string folder = paths.drive + paths.folder;
  const std::string origin =
      home_given ? "the --home folder" : "the program's folder; name another with --home";
  if (message == kMsgIniMissing) {
    return Format("neither %s nor %s in %s (%s)", std::string(kFullSettingsFile).c_str(),
                  std::string(kRestrictedSettingsFile).c_str(), folder.c_str(), origin.c_str());
  }
  if (message == kMsgCatalogueUnreadable) {
    return Format("no readable data/%s in %s (%s)", std::string(kCatalogueFileName).c_str(),
                  folder.c_str(), origin.c_str());
  }
  return {};
}

}  // namespace

BoxAnswer StartupControls::ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                                   BoxButtons buttons) {
  if (buttons == BoxButtons::kOk) {
    observer_.Problem(text, caption, icon);
    return BoxAnswer::kOk;
  }
  return observer_.Ask(text, caption, icon) ? BoxAnswer::kYes : BoxAnswer::kNo;
}

Session::Session(const CliOptions& options, SerialBackend& backend, Clock& clock,
                 const SessionOutputs& outputs)
    : options_(options),
      record_(outputs.record),
      explained_(backend,
                 [this](const std::string& name, const PortOpenFailure& failure) {
                   terminal_.NoteAfterNextBox("r7700-update: " + OpenFailureLine(name, failure));
                 }),
      profiles_(MakePlatformProfileStore()),
      services_{explained_, *profiles_, clock, &InterruptFlag()},
      terminal_(StreamsFor(outputs), options.assume_yes),
      reporter_(terminal_, events_) {
  if (outputs.json != nullptr) {
    json_.emplace(outputs.json, std::string());
    if (outputs.json_events) events_.Add(*json_);
  }
  if (outputs.log == stderr) {
    // The log shares the terminal with the progress line: its lines go above it.
    events_.Add(log_.emplace(outputs.log, outputs.trace,
                             [this](std::string_view lines) { terminal_.WriteAbove(lines); }));
  } else if (outputs.log != nullptr) {
    events_.Add(log_.emplace(outputs.log, outputs.trace));
  }
  app_.paths = options.home.empty() ? ResolveDataPaths() : ResolveDataPathsForFolder(options.home);
}

int Session::Start() {
  const int message = LoadStartupData(app_, services_, controls_, options_.port);
  if (message == 0) FillLanguageLists(controls_, app_.choices, app_.selected);
  // Read after a start-up message too: the log's head names the port and speed.
  request_ = ReadUpdateRequest(app_, controls_);
  // The loader that failed has shown its numbered message; the folder it
  // looked in follows.
  if (message != 0) {
    const std::string note = SearchedFolderNote(message, app_.paths, !options_.home.empty());
    if (!note.empty()) std::fprintf(err(), "r7700-update: %s\n", note.c_str());
    return kExitStartupFailed;
  }
  std::string problem;
  std::string notice;
  if (!ApplyCliOptions(options_, app_, request_, &problem, &notice)) {
    std::fprintf(err(), "r7700-update: %s\n", problem.c_str());
    return kExitUsage;
  }
  if (!notice.empty()) std::fprintf(err(), "r7700-update: %s\n", notice.c_str());
  // Every record from here on names the port, so runs on several ports can be told apart.
  if (json_) json_->set_port_label(request_.port);
  return kExitSuccess;
}

void Session::Report(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), report());
  std::fflush(report());
  Record(text);
}

void Session::Record(const std::string& text) {
  if (records() && !text.empty())
    log_->Write(events_.Now(), text.substr(0, text.size() - (text.back() == '\n')));
}

void Session::End() {
  reporter_.FlushLogLine();
  terminal_.EndProgressLine();
}

}  // namespace r7700::cli
