// What every stage of an update run works with besides the port: the
// observer it reports to, the clock, the progress counters, the run's options and the
// files it reads.
#pragma once

#include <string>

#include "link/cancellation.h"
#include "link/clock.h"
#include "link/run_observer.h"
#include "link/status_log.h"

namespace r7700 {

// Fixed at the start of each run from the option boxes; all false in
// Restricted mode.
struct RunOptions {
  bool boot_from_ram_card = false;
  bool with_boot_sector = false;
  bool erase_user_flash = false;
};

// How the connection and the downloads go about their work beyond the
// window's options. Only
// the command line changes it; the defaults are the dialogue as the Windows
// program speaks it.
struct TransferPolicy {
  // Read what the instrument announces (a block's acknowledgement, the
  // prompt after an erase, a checksum) as soon as it comes, within at least
  // the fixed wait, instead of waiting that time out first.
  bool instrument_paced = false;
  // Ask the monitor first what the span holds: skip a download the
  // instrument already has, else write only the sectors that differ.
  bool skip_unchanged = false;
  // A boot monitor that already runs cannot be asked for the power supply:
  // ask the user to confirm the AC supply before going on.
  bool confirm_power_in_monitor = false;
  // Nothing intelligible at the opening speed: look for the boot monitor at
  // the run's speed, where an interrupted or failed run leaves it, and go on
  // there instead of asking for a power cycle.
  bool find_monitor_at_run_speed = false;
  // Compare every firmware block's acknowledgement, and when blocks came
  // damaged or the span checksum differs, erase and resend the sectors the
  // monitor finds different, within a bound, before giving up.
  bool repair = false;
  // The run only reads: an instrument on battery is reached all the same.
  bool power_irrelevant = false;
};

// How far a run got with the instrument: what a front end tells the user
// about an instrument whose run was interrupted.
enum class InstrumentReach {
  kUntouched,    // nothing was sent to it
  kTalkedTo,     // the port was opened; flash was not written
  kFlashChanged  // a download began writing flash
};

struct RunContext {
  RunObserver& observer;
  Clock& clock;
  ProgressState progress{};
  RunOptions options{};
  std::string firmware_image_path{};
  std::string language_image_path{};
  // What the instrument said it is, once identified: the application's
  // identification line, or the monitor's when that answered.
  std::string identity{};
  // The monitor's answer to "ver", once the loader checks asked it.
  std::string monitor_version{};
  TransferPolicy policy{};
  // The accepted answer to the power query, else the last one; empty when
  // it was not asked or never answered.
  std::string power{};
  // The flag that interrupts this run (none: never); the clock and the port
  // the run works with honour it.
  const CancelFlag* cancel = nullptr;
  InstrumentReach reach = InstrumentReach::kUntouched;
  // The port the run talks over, as its texts name it.
  std::string port_name{};
  // A download that found its image already in the instrument
  // (TransferPolicy::skip_unchanged) and wrote nothing of it.
  bool firmware_unchanged = false;
  bool languages_unchanged = false;

  bool Cancelled() const { return IsCancelled(cancel); }
};

}  // namespace r7700
