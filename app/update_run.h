// The update run: the body of the worker thread that Start launches, and the
// one place where the stages of the other folders are put in order. It asks
// the user to confirm the cable, builds the language image, opens the port,
// connects (with one retry on offer), runs the downloads the boxes ask for,
// reboots the instrument and announces success. Every failure ends the run
// with a box; nothing of a failed run is undone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "app/update_request.h"
#include "link/run_observer.h"
#include "link/window_surface.h"

namespace r7700 {

// Results of UpdateRun.
inline constexpr int kRunSucceeded = 0;
inline constexpr int kRunDeclined = 1;  // No at the first question; nothing else happened
inline constexpr int kRunFailed = -1;   // a box has said why
// The run's cancel flag was set: it stopped where it was and said nothing
// more; how far it got with the instrument is in the run's reach.
inline constexpr int kRunInterrupted = 2;

// The reboot command's one reply line is read with a limit of 63: at most
// 62 characters.
inline constexpr std::string_view kRebootCommand = "reboot\n";
inline constexpr uint32_t kRebootReplyLimit = 63;

// Runs the update request asks for, reporting to observer, and returns
// kRunSucceeded, kRunDeclined, kRunFailed or kRunInterrupted (services.cancel
// set; app.run_reach tells how far it got). Writes app.run_options before the
// port is opened. The port is opened at 19200 baud whatever speed is chosen,
// and closed on every path once it was open. A language slot that names no
// row of app.choices fails the image build like an unknown name. The end is
// reported to the observer (the SUCCESS box on the window). report (when
// given) tells how far the stages on the port came.
struct PortRunReport;
int UpdateRun(AppState& app, Services& services, const UpdateRequest& request,
              RunObserver& observer, PortRunReport* report = nullptr);
// The same with the request read from the main window's controls at Start,
// reported on that window.
int UpdateRun(AppState& app, Services& services, WindowSurface& window,
              PortRunReport* report = nullptr);

// The stages of UpdateRun, for front ends that put them together otherwise
// (several instruments at once share one question and one image).

// Clears the log, asks the Verify question and, on Yes, clears the log
// again; false on No.
bool ConfirmConnected(RunObserver& observer);

// Checks the inputs (a download chosen, a sound firmware image), builds the
// language image of request's languages at app.paths.temp_image_path and
// sets app.run_options to the request's; kRunFailed after its problem.
int PrepareRun(AppState& app, const UpdateRequest& request, RunObserver& observer);

// How far each stage on the port came.
// kUnchanged: the instrument already held the image; nothing was written.
enum class StageOutcome { kNotReached, kNotChosen, kDone, kUnchanged, kFailed };
struct PortRunReport {
  bool connected = false;
  std::string identity;         // empty: never identified
  std::string monitor_version;  // empty: not asked

  StageOutcome firmware = StageOutcome::kNotReached;
  StageOutcome languages = StageOutcome::kNotReached;
};

// Opens request.port at 19200 baud, connects at request.baud (with the
// retry offer), runs the downloads the request asks for, reboots, and closes
// the port on every path. kRunSucceeded, or kRunFailed after its problem, or
// kRunInterrupted once run.cancel is set (from then on nothing more is
// sent or shown; run.clock should honour the flag too). run.reach tells how
// far it got. The end is left to the caller. report may be null.
int UpdateOnPort(RunContext& run, SerialBackend& serial, const UpdateRequest& request,
                 PortRunReport* report);

// Opens port_name at 19200 baud; nullptr after the run's problem when it cannot.
OwnedPort OpenRunPort(SerialBackend& serial, RunObserver& observer, const std::string& port_name);

// A way to reach the instrument: EstablishConnection, or less of it. Its
// results are those of EstablishConnection.
using ConnectionStage = int (*)(RunContext& run, PortHandle port, int32_t baud);

// Runs connect, and once more when the instrument was not identified and
// the user takes the retry offer. kRunSucceeded, or kRunFailed after a box.
int ConnectWithRetry(RunContext& run, PortHandle port, int32_t baud, ConnectionStage connect);

// Sends "reboot" and takes its one reply line off the line.
void RebootInstrument(PortHandle port);

}  // namespace r7700
