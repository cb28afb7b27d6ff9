#include "app/update_run.h"

#include <algorithm>
#include <array>

#include "app/resources/resource.h"
#include "dialogue/connection.h"
#include "download/firmware_download.h"
#include "languages/language_download.h"
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
int CheckInputs(WindowSurface& window, const std::string& firmware_path) {
  const bool firmware = window.IsChecked(IDC_DOWNLOAD_FIRMWARE);
  if (!firmware && !window.IsChecked(IDC_DOWNLOAD_LANGUAGES)) {
    ShowRunError(window, kNothingChosenText);
    return kRunFailed;
  }
  if (firmware) {
    const std::string problem = FirmwareImageProblem(firmware_path);
    if (!problem.empty()) {
      ShowRunError(window, problem);
      return kRunFailed;
    }
  }
  return kRunSucceeded;
}

// Built before the port is opened and whether or not the languages are to
// be downloaded, so a choice that cannot fit stops the run before the
// instrument is touched.
int BuildLanguageImage(AppState& app, WindowSurface& window) {
  LogLine(window, "Preparing languages ...\n");
  if (BeginLanguageImage(app.image_builder, app.catalogue, app.paths, window) < 0) {
    ShowRunError(window, kImageNotStartedText);
    return kRunFailed;
  }
  for (const int32_t row : app.selected) {
    if (row == 0) continue;
    if (AddLanguageToImage(app.image_builder, app.catalogue, app.paths, window,
                           LanguageName(app.choices, row)) < 0) {
      ShowRunError(window, kLanguageNotAddedText);
      return kRunFailed;
    }
  }
  if (FinishLanguageImage(app.image_builder, app.paths, window) != 0) {
    ShowRunError(window, kImageTooLargeText);
    return kRunFailed;
  }
  return kRunSucceeded;
}

// The boxes are read only now: they are disabled during the run, so they
// still hold what they held at Start.
int RunDownload(RunContext& run, PortHandle port, int box, int (*download)(RunContext&, PortHandle),
                StageOutcome* outcome) {
  if (!run.window.IsChecked(box)) {
    *outcome = StageOutcome::kNotChosen;
    return kRunSucceeded;
  }
  if (download(run, port) < 0) {
    *outcome = StageOutcome::kFailed;
    ShowRunError(run.window, kDownloadFailedText);
    return kRunFailed;
  }
  *outcome = StageOutcome::kDone;
  return kRunSucceeded;
}

// Everything that happens on the open port.
int ConnectAndUpdate(RunContext& run, PortHandle port, int32_t baud, PortRunReport& report) {
  if (ConnectWithRetry(run, port, baud, EstablishConnection) != kRunSucceeded) return kRunFailed;
  report.connected = true;
  if (RunDownload(run, port, IDC_DOWNLOAD_FIRMWARE, DownloadFirmwareImage, &report.firmware) !=
      kRunSucceeded) {
    return kRunFailed;
  }
  if (RunDownload(run, port, IDC_DOWNLOAD_LANGUAGES, DownloadLanguageImage, &report.languages) !=
      kRunSucceeded) {
    return kRunFailed;
  }
  RebootInstrument(port);
  return kRunSucceeded;
}

}  // namespace

// Restricted mode ticks the hidden option boxes, so only Full mode may read them.
RunOptions ReadRunOptions(SettingsMode mode, WindowSurface& window) {
  if (mode != SettingsMode::kFull) return {};
  return RunOptions{
      .boot_from_ram_card = window.IsChecked(IDC_BOOT_RAMCARD),
      .with_boot_sector = window.IsChecked(IDC_DOWNLOAD_BOOT_SECTOR),
      .erase_user_flash = window.IsChecked(IDC_ERASE_USER_FLASH),
  };
}

// An instrument that was not identified may just have been switched on or
// plugged in late: the user gets one more try on the same open port.
int ConnectWithRetry(RunContext& run, PortHandle port, int32_t baud, ConnectionStage connect) {
  const int result = connect(run, port, baud);
  if (result >= kConnected) return kRunSucceeded;
  // A definite failure has shown its own box.
  if (result != kNotIdentified) return kRunFailed;
  if (run.window.ShowBox(kRetryText, kRetryCaption, BoxIcon::kWarning, BoxButtons::kYesNo) !=
      BoxAnswer::kYes) {
    return kRunFailed;
  }
  if (connect(run, port, baud) < kConnected) {
    ShowRunError(run.window, kFailedAgainText);
    return kRunFailed;
  }
  return kRunSucceeded;
}

// The reply is read only to take it off the line; a silent instrument still
// counts as rebooted, the SUCCESS box tells the user to cycle power if not.
void RebootInstrument(PortHandle port) {
  std::array<char, kRebootBufferBytes> buffer{};
  std::copy(kRebootCommand.begin(), kRebootCommand.end(), buffer.begin());
  WritePort(port, buffer.data(), static_cast<uint32_t>(kRebootCommand.size()));
  ReadPortLine(port, buffer.data(), kRebootReplyLimit);
}

OwnedPort OpenRunPort(SerialBackend& serial, WindowSurface& window, const std::string& port_name) {
  // The instrument always starts at 19200 baud; the chosen speed is set
  // only once the monitor is in charge.
  OwnedPort port = OpenPort(serial, window, port_name, kOpeningBaud);
  if (port == nullptr) ShowRunError(window, kPortNotOpenedText);
  return port;
}

bool ConfirmConnected(WindowSurface& window) {
  ClearStatusLog(window);
  if (window.ShowBox(kVerifyText, kVerifyCaption, BoxIcon::kWarning, BoxButtons::kYesNo) !=
      BoxAnswer::kYes) {
    return false;
  }
  window.SetText(IDC_STATUS_LOG, "");
  return true;
}

int PrepareRun(AppState& app, WindowSurface& window) {
  if (CheckInputs(window, app.paths.firmware_path) != kRunSucceeded) return kRunFailed;
  if (BuildLanguageImage(app, window) != kRunSucceeded) return kRunFailed;
  app.run_options = ReadRunOptions(app.settings.mode, window);
  return kRunSucceeded;
}

int UpdateOnPort(RunContext& run, SerialBackend& serial, const std::string& port_name, int32_t baud,
                 PortRunReport* report) {
  PortRunReport ignored;
  PortRunReport& done = report != nullptr ? *report : ignored;
  run.port_name = port_name;
  OwnedPort port = OpenRunPort(serial, run.window, port_name);
  if (port == nullptr) return kRunFailed;
  run.reach = InstrumentReach::kTalkedTo;
  // Once the run is interrupted nothing more reaches the instrument.
  CancellableConnection guarded(*port, run.cancel);
  const int result = ConnectAndUpdate(run, &guarded, baud, done);
  done.identity = run.identity;
  done.monitor_version = run.monitor_version;
  ClosePort(port);
  return run.Cancelled() ? kRunInterrupted : result;
}

int UpdateRun(AppState& app, Services& services, WindowSurface& window, PortRunReport* report) {
  const int32_t baud = SelectedBaud(window);
  // Every wait of the run honours the interrupt flag. A fresh context: the
  // progress counters start from 0 on every run.
  CancellableClock clock(services.clock, services.cancel);
  RunContext run{window, clock, {}, {}, app.paths.firmware_path, app.paths.temp_image_path};
  run.cancel = services.cancel;
  app.run_reach = InstrumentReach::kUntouched;
  if (!ConfirmConnected(window)) return run.Cancelled() ? kRunInterrupted : kRunDeclined;
  if (PrepareRun(app, window) != kRunSucceeded) return kRunFailed;
  if (run.Cancelled()) return kRunInterrupted;

  run.policy = app.transfer_policy;
  run.options = app.run_options;
  const int result =
      UpdateOnPort(run, services.serial, SelectedPortName(app.ports, window), baud, report);
  app.run_reach = run.reach;
  if (result != kRunSucceeded) return result;
  window.ShowSuccess();
  return kRunSucceeded;
}

}  // namespace r7700
