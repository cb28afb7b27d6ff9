#include "app/update_run.h"

#include "dialogue/command_link.h"
#include "dialogue/connection.h"
#include "download/firmware_download.h"
#include "languages/language_download.h"
#include "link/dialog_observer.h"
#include "link/error_report.h"
#include "link/serial_port.h"
#include "link/status_log.h"

namespace r7700 {
namespace {

constexpr std::string_view kVerifyText = "Did you connect and configure\n the OTDR? (19200 Baud)";
constexpr std::string_view kVerifyCaption = "Verify";
constexpr std::string_view kRetryText =
    "Failed to connect to OTDR!\nCheck connection & baudrate!\nTry again?";
constexpr std::string_view kRetryCaption = "Connection Failed!";

constexpr std::string_view kImageNotStartedText = "Error initializing the languages!";
constexpr std::string_view kLanguageNotAddedText = "Error building the languages!";
constexpr std::string_view kImageTooLargeText =
    "Selected languages too large!\nPlease deselect one language!";
constexpr std::string_view kPortNotOpenedText = "Failed to initialize Interface!";
constexpr std::string_view kFailedAgainText = "Failed again, aborting!";
// The language download's failure deliberately shows the firmware text too:
// either way the instrument is left in its monitor and wants a power cycle.
constexpr std::string_view kDownloadFailedText =
    "Firmware download failed!\nPlease turn the instrument on/off and try again with 19200Baud!";

constexpr std::string_view kNothingChosenText =
    "Nothing to download!\nPlease choose the firmware, the languages or both!";

// Every input the run will use is checked before the port is opened, so a
// bad file never costs the instrument its firmware.
int CheckInputs(const UpdateRequest& request, RunObserver& observer,
                const std::string& firmware_path) {
  if (!request.download_firmware && !request.download_languages) {
    ShowRunError(observer, kNothingChosenText);
    return kRunFailed;
  }
  if (request.download_firmware) {
    const std::string problem = FirmwareImageProblem(firmware_path);
    if (!problem.empty()) {
      ShowRunError(observer, problem);
      return kRunFailed;
    }
  }
  return kRunSucceeded;
}

// Built before the port is opened and whether or not the languages are to
// be downloaded, so a choice that cannot fit stops the run before the
// instrument is touched.
int BuildLanguageImage(AppState& app, const SelectedLanguages& languages, RunObserver& observer) {
  LogLine(observer, "Preparing languages ...\n");
  if (BeginLanguageImage(app.image_builder, app.catalogue, app.paths, observer) < 0) {
    ShowRunError(observer, kImageNotStartedText);
    return kRunFailed;
  }
  for (const int32_t row : languages) {
    if (row == 0) continue;
    if (AddLanguageToImage(app.image_builder, app.catalogue, app.paths, observer,
                           LanguageName(app.choices, row)) < 0) {
      ShowRunError(observer, kLanguageNotAddedText);
      return kRunFailed;
    }
  }
  if (FinishLanguageImage(app.image_builder, app.paths, observer) != 0) {
    ShowRunError(observer, kImageTooLargeText);
    return kRunFailed;
  }
  return kRunSucceeded;
}

// unchanged is the run's flag that download sets when the instrument
// already held its image.
int RunDownload(RunContext& run, PortHandle port, bool chosen,
                int (*download)(RunContext&, PortHandle), const bool& unchanged,
                StageOutcome* outcome) {
  if (!chosen) {
    *outcome = StageOutcome::kNotChosen;
    return kRunSucceeded;
  }
  if (download(run, port) < 0) {
    *outcome = StageOutcome::kFailed;
    // An interrupted download failed because it was stopped: nothing to say.
    if (!run.Cancelled()) ShowRunError(run.observer, kDownloadFailedText);
    return kRunFailed;
  }
  *outcome = unchanged ? StageOutcome::kUnchanged : StageOutcome::kDone;
  return kRunSucceeded;
}

// Everything that happens on the open port.
int ConnectAndUpdate(RunContext& run, PortHandle port, const UpdateRequest& request,
                     PortRunReport& report) {
  if (ConnectWithRetry(run, port, request.baud, EstablishConnection) != kRunSucceeded) {
    return kRunFailed;
  }
  report.connected = true;
  if (RunDownload(run, port, request.download_firmware, DownloadFirmwareImage,
                  run.firmware_unchanged, &report.firmware) != kRunSucceeded) {
    return kRunFailed;
  }
  if (RunDownload(run, port, request.download_languages, DownloadLanguageImage,
                  run.languages_unchanged, &report.languages) != kRunSucceeded) {
    return kRunFailed;
  }
  RebootInstrument(port);
  return kRunSucceeded;
}

}  // namespace

// An instrument that was not identified may just have been switched on or
// plugged in late: the user gets one more try on the same open port.
int ConnectWithRetry(RunContext& run, PortHandle port, int32_t baud, ConnectionStage connect) {
  const int result = connect(run, port, baud);
  if (result >= kConnected) return kRunSucceeded;
  // A definite failure has shown its own box.
  if (result != kNotIdentified || run.Cancelled()) return kRunFailed;
  if (!run.observer.Ask(kRetryText, kRetryCaption, BoxIcon::kWarning)) return kRunFailed;
  if (connect(run, port, baud) < kConnected) {
    if (!run.Cancelled()) ShowRunError(run.observer, kFailedAgainText);
    return kRunFailed;
  }
  return kRunSucceeded;
}

// The reply is read only to take it off the line; a silent instrument still
// counts as rebooted, the SUCCESS box tells the user to cycle power if not.
void RebootInstrument(PortHandle port) {
  SendText(port, kRebootCommand);
  ReplyLine reply;
  ReadReply(port, reply, kRebootReplyLimit);
}

OwnedPort OpenRunPort(SerialBackend& serial, RunObserver& observer, const std::string& port_name) {
  // The instrument always starts at 19200 baud; the chosen speed is set
  // only once the monitor is in charge.
  OwnedPort port = OpenPort(serial, observer, port_name, kOpeningBaud);
  if (port == nullptr) ShowRunError(observer, kPortNotOpenedText);
  return port;
}

bool ConfirmConnected(RunObserver& observer) {
  ClearStatusLog(observer);
  if (!observer.Ask(kVerifyText, kVerifyCaption, BoxIcon::kWarning)) return false;
  observer.LogCleared(false);
  return true;
}

int PrepareRun(AppState& app, const UpdateRequest& request, RunObserver& observer) {
  if (CheckInputs(request, observer, app.paths.firmware_path) != kRunSucceeded) return kRunFailed;
  if (BuildLanguageImage(app, request.languages, observer) != kRunSucceeded) return kRunFailed;
  app.run_options = request.options;
  return kRunSucceeded;
}

int UpdateOnPort(RunContext& run, SerialBackend& serial, const UpdateRequest& request,
                 PortRunReport* report) {
  PortRunReport ignored;
  PortRunReport& done = report != nullptr ? *report : ignored;
  run.port_name = request.port;
  OwnedPort port = OpenRunPort(serial, run.observer, request.port);
  if (port == nullptr) return kRunFailed;
  run.reach = InstrumentReach::kTalkedTo;
  // Once the run is interrupted nothing more reaches the instrument.
  CancellableConnection guarded(*port, run.cancel);
  const int result = ConnectAndUpdate(run, &guarded, request, done);
  done.identity = run.identity;
  done.monitor_version = run.monitor_version;
  ClosePort(port);
  return run.Cancelled() ? kRunInterrupted : result;
}

namespace {

RunEnd EndOf(int result) {
  switch (result) {
    case kRunSucceeded:
      return RunEnd::kSucceeded;
    case kRunDeclined:
      return RunEnd::kDeclined;
    case kRunInterrupted:
      return RunEnd::kInterrupted;
    default:
      return RunEnd::kFailed;
  }
}

int Stages(AppState& app, RunContext& run, SerialBackend& serial, const UpdateRequest& request,
           PortRunReport* report) {
  if (!ConfirmConnected(run.observer)) return run.Cancelled() ? kRunInterrupted : kRunDeclined;
  if (PrepareRun(app, request, run.observer) != kRunSucceeded) return kRunFailed;
  if (run.Cancelled()) return kRunInterrupted;
  run.policy = request.policy;
  run.options = request.options;
  return UpdateOnPort(run, serial, request, report);
}

}  // namespace

int UpdateRun(AppState& app, Services& services, const UpdateRequest& request,
              RunObserver& observer, PortRunReport* report) {
  // Every wait of the run honours the interrupt flag. A fresh context: the
  // progress counters start from 0 on every run.
  CancellableClock clock(services.clock, services.cancel);
  RunContext run{observer, clock, {}, {}, app.paths.firmware_path, app.paths.temp_image_path};
  run.cancel = services.cancel;
  app.run_reach = InstrumentReach::kUntouched;
  const int result = Stages(app, run, services.serial, request, report);
  app.run_reach = run.reach;
  observer.Finished(EndOf(result));
  return result;
}

int UpdateRun(AppState& app, Services& services, WindowSurface& window, PortRunReport* report) {
  DialogObserver observer(window);
  return UpdateRun(app, services, ReadUpdateRequest(app, window), observer, report);
}

}  // namespace r7700
