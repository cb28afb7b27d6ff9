#include "dialogue/connection.h"

#include "dialogue/command_link.h"
#include "dialogue/loader_verification.h"
#include "link/error_report.h"
#include "link/status_log.h"

namespace r7700 {
namespace {

constexpr std::string_view kIdentifyQuery = "*idn?\n";
constexpr std::string_view kPowerQuery = "stat:pow:acdc?\n";
constexpr std::string_view kMainsAnswer = "AC<END>";
constexpr std::string_view kChargerAnswer = "CHAR<END>";

constexpr std::string_view kNoMainsText =
    "You must have an AC-supply connected to the OTDR!\nPlease connect AC and press Start again!";
constexpr std::string_view kNoMonitorText =
    "The connection to the OTDR is not reliable!\nPlease check the cable / reduce the baudrate!";
constexpr std::string_view kCyclePowerText =
    "The connection to the OTDR is not reliable!\nPlease check the cable / reduce the baudrate "
    "and cycle power!";
// The monitor has already moved to the speed the PC end refused.
constexpr std::string_view kSpeedRefusedAdvice =
    "\nPlease choose another baudrate and cycle power!";
constexpr std::string_view kSeriesAText =
    "This program can update R7700B/C Series Vesk-OTDR's only !\n\nTo update the connected "
    "R7700A Vesk-OTDR please use the appropriate version of the update program (version 3.0)";

constexpr std::string_view kUnaskedPowerText =
    "The OTDR answers from its boot monitor, which cannot tell whether an AC-supply is "
    "connected!\nIs the AC-supply connected?";
constexpr std::string_view kUnaskedPowerCaption = "Power";
// Prompt waits, each followed by a nudge, when looking for a monitor left at the run's speed.
constexpr PromptWaits kRunSpeedPromptWaits{.waits = 3, .silent_misses = 0};

bool IsApplicationAnswer(const ReplyLine& a, const ReplyLine& b) {
  return a.BeginsWith(ApplicationIdPrefix) && a.Contains(ApplicationIdWord) &&
         b.BeginsWith(EndMarker);
}

// An interrupted run says nothing more: its end says why it stopped.
int Fail(RunContext& run, std::string_view text) {
  if (!run.Cancelled()) ShowRunError(run.observer, text);
  return kConnectionFailed;
}

// The checks once the monitor answers at the new speed.
// With repair a test load that failed is loaded again, within a bound: it
// goes to RAM, and a reply garbled on its way back says nothing against the
// line that the next load's own checks would not.
int VerifyLoader(RunContext& run, PortHandle port) {
  if (CheckMonitorVersion(run, port) != 0) return Fail(run, kSeriesAText);
  const int loads = run.policy.repair ? kTestLoadTries : 1;
  for (int load = 1; VerifyTestLoad(run, port) != 0 || VerifyTestDump(run, port) != 0; ++load) {
    if (load == loads || run.Cancelled() || !ReturnToMonitor(port, run.clock)) {
      return Fail(run, kCyclePowerText);
    }
    LogLine(run.observer, "Test load again (%d of %d)\n", load + 1, loads);
  }
  LogLine(run.observer, "Checks done!\n");
  return kConnected;
}

// A monitor already in charge cannot say whether the instrument runs on
// mains; only the user can.
int ConfirmUnaskedPower(RunContext& run) {
  if (!run.policy.confirm_power_in_monitor) return kConnected;
  if (run.observer.Ask(kUnaskedPowerText, kUnaskedPowerCaption, BoxIcon::kWarning)) {
    return kConnected;
  }
  return Fail(run, kNoMainsText);
}

bool NudgedForPrompt(RunContext& run, PortHandle port) {
  SendText(port, Nudge);
  run.clock.Sleep(kQueryPauseMs);
  return AwaitPromptNudging(port, run.clock, kRunSpeedPromptWaits);
}

// The PC end at baud, the monitor nudged for its prompt, and called back from
// a download left unfinished; back at the opening speed when it does not
// answer there. A port that refuses either speed ends the search: the
// refusal is shown and the connection has failed.
enum class MonitorSearch { kFound, kNotFound, kPortRefused };

MonitorSearch MonitorAnswersAt(RunContext& run, PortHandle port, int32_t baud) {
  if (const LineResult speed = SetPortBaud(port, baud); !speed.ok) {
    ShowRunError(run.observer, PortRefusalText(run.port_name, baud, speed.reason));
    return MonitorSearch::kPortRefused;
  }
  run.clock.Sleep(kBaudChangePauseMs);
  if (NudgedForPrompt(run, port)) return MonitorSearch::kFound;
  // A run stopped in the middle of a download leaves the downloader waiting.
  LeaveDownloader(port, run.clock);
  if (NudgedForPrompt(run, port)) return MonitorSearch::kFound;
  if (const LineResult back = SetPortBaud(port, kOpeningBaud); !back.ok) {
    ShowRunError(run.observer, PortRefusalText(run.port_name, kOpeningBaud, back.reason));
    return MonitorSearch::kPortRefused;
  }
  run.clock.Sleep(kBaudChangePauseMs);
  return MonitorSearch::kNotFound;
}

}  // namespace

IdentifyResult IdentifyInstrument(RunContext& run, PortHandle port) {
  size_t received = 0;
  ReplyLine a;
  ReplyLine b;
  for (int query = 1; query <= kIdentifyQueries; ++query) {
    SendText(port, kIdentifyQuery);
    run.clock.Sleep(kQueryPauseMs);
    ReadReply(port, a);
    ReadReply(port, b);
    received += a.view().size() + b.view().size();
    // A stale "<END>" left from an earlier answer would keep every later
    // pair one line out of step; one extra read realigns them.
    if (a.BeginsWith(EndMarker)) ReadReply(port, a);
    // The application's first answers after power-up are not trusted.
    if (IsApplicationAnswer(a, b) && query >= kFirstAcceptedIdentify) {
      run.identity = a.view();
      return IdentifyResult::kIdApplication;
    }
    if (a.BeginsWith(MonitorIdentification) || b.BeginsWith(MonitorIdentification)) {
      run.identity = (a.BeginsWith(MonitorIdentification) ? a : b).view();
      return IdentifyResult::kIdMonitor;
    }
  }
  return received > 0 ? IdentifyResult::kIdUnrecognised : IdentifyResult::kIdSilent;
}

int CheckMainsPower(RunContext& run, PortHandle port) {
  ReplyLine reply;
  for (int query = 1; query <= kPowerQueries; ++query) {
    SendText(port, kPowerQuery);
    run.clock.Sleep(kQueryPauseMs);
    const int32_t length = ReadReply(port, reply);
    const bool mains = reply.BeginsWith(kMainsAnswer) || reply.BeginsWith(kChargerAnswer);
    if (length > 0) run.power = reply.view();
    if (length > 0 && mains && query >= kFirstAcceptedPower) return 0;
  }
  return -1;
}

int EnterMonitor(RunContext& run, PortHandle port) {
  LogLine(run.observer, "Connecting to target\n");
  ReplyLine prompt;
  for (int attempt = 0; attempt < kWakeUpTries; ++attempt) {
    SendText(port, WakeUpLine);
    run.clock.Sleep(kQueryPauseMs);
    if (WaitForPrompt(port, MonitorPrompt, &prompt) == 1) return 0;
  }
  return 1;
}

int SetMonitorBaud(RunContext& run, PortHandle port, int32_t baud) {
  SendCommand(port, "baud %ld\n", static_cast<long>(baud));
  run.clock.Sleep(kBaudChangePauseMs);
  if (const LineResult speed = SetPortBaud(port, baud); !speed.ok) {
    ShowRunError(run.observer, PortRefusalText(run.port_name, baud, speed.reason) +
                                   std::string(kSpeedRefusedAdvice));
    return kSpeedRefused;
  }
  run.clock.Sleep(kBaudChangePauseMs);

  SendText(port, Nudge);
  int counter = 1;
  run.clock.Sleep(kQueryPauseMs);
  ReplyLine reply;
  // The first answers after a speed change are not trusted: a prompt counts
  // only from the third count on, the nudge above included.
  do {
    if (ReadReply(port, reply) > 0) {
      if (reply.BeginsWith(MonitorPrompt) && counter >= kFirstAcceptedBaudPrompt) {
        return kSpeedChanged;
      }
      ++counter;
    } else {
      SendText(port, Nudge);
      ++counter;
      run.clock.Sleep(kQueryPauseMs);
    }
  } while (counter < kBaudReplyReads);
  return kNoPromptAtSpeed;
}

int ReachMonitor(RunContext& run, PortHandle port, int32_t baud) {
  LogLine(run.observer, "Initializing connection ...\n");

  IdentifyResult who = IdentifyInstrument(run, port);
  const bool understood =
      who == IdentifyResult::kIdApplication || who == IdentifyResult::kIdMonitor;
  if (!understood && run.policy.find_monitor_at_run_speed && baud != kOpeningBaud) {
    const MonitorSearch search = MonitorAnswersAt(run, port, baud);
    if (search == MonitorSearch::kPortRefused) return kConnectionFailed;
    if (search == MonitorSearch::kFound) {
      LogLine(run.observer, "Boot monitor found at %ld baud, where an earlier run left it\n",
              static_cast<long>(baud));
      return ConfirmUnaskedPower(run);
    }
  }
  if (who == IdentifyResult::kIdSilent) return kNotIdentified;
  if (who == IdentifyResult::kIdUnrecognised) {
    LogLine(run.observer, "2nd try...\n");
    run.clock.Sleep(kQueryPauseMs);
    who = IdentifyInstrument(run, port);
    if (who != IdentifyResult::kIdApplication && who != IdentifyResult::kIdMonitor) {
      return kNotIdentified;
    }
  }

  // A monitor that is already running needs no power check and no wake-up.
  if (who == IdentifyResult::kIdApplication) {
    if (CheckMainsPower(run, port) != 0 && !run.policy.power_irrelevant) {
      return Fail(run, kNoMainsText);
    }
    if (EnterMonitor(run, port) != 0) return Fail(run, kNoMonitorText);
    if (const LineResult lines = RaisePortLines(port); !lines.ok) {
      return Fail(run, PortRefusalText(run.port_name, 0, lines.reason));
    }
  } else if (const int confirmed = ConfirmUnaskedPower(run); confirmed != kConnected) {
    return confirmed;
  }

  LogLine(run.observer, "Change baudrate\n");
  const int speed = SetMonitorBaud(run, port, baud);
  if (speed == kSpeedRefused) return kConnectionFailed;
  if (speed != kSpeedChanged) return Fail(run, kCyclePowerText);
  return kConnected;
}

int EstablishConnection(RunContext& run, PortHandle port, int32_t baud) {
  const int result = ReachMonitor(run, port, baud);
  if (result != kConnected) return result;
  return VerifyLoader(run, port);
}

}  // namespace r7700
