// Connection establishment: who answers on the freshly opened line, whether
// the instrument runs on mains power, the hand-over from the instrument
// application to its boot monitor, the link-speed change, and then the
// loader checks. Runs on the worker thread of an update run only.
#pragma once

#include <cstdint>

#include "link/run_context.h"
#include "link/serial_port.h"

namespace r7700 {

// Who answered the identification queries.
enum class IdentifyResult : int {
  kIdApplication = 0,   // the instrument application, an R77 reflectometer
  kIdMonitor = 1,       // the boot monitor, already in charge of the line
  kIdUnrecognised = 2,  // text came back, nothing recognisable in 6 queries
  kIdSilent = 3,        // not one character came back in 6 queries
};

// Results of EstablishConnection.
inline constexpr int kConnected = 0;
inline constexpr int kNotIdentified = -1;     // no box shown; the run may offer a retry
inline constexpr int kConnectionFailed = -2;  // box already shown; the run stops

// Query and read counts; the pauses are those of command_link.h
// (kQueryPauseMs after each query, wake-up and nudge, kBaudChangePauseMs
// either side of the speed change).
inline constexpr int kIdentifyQueries = 6;
inline constexpr int kFirstAcceptedIdentify = 3;  // earlier matching answers are passed over
inline constexpr int kPowerQueries = 6;
inline constexpr int kFirstAcceptedPower = 4;
inline constexpr int kWakeUpTries = 6;
inline constexpr int kBaudReplyReads = 6;  // counter limit after "baud", nudge included
inline constexpr int kFirstAcceptedBaudPrompt = 3;
// Test loads at most, with repair, before the loader checks fail.
inline constexpr int kTestLoadTries = 3;

// Sends "*idn?" up to 6 times and classifies the answers. An application
// answer counts from the third query on, the monitor's from the first.
// The line that identified the instrument goes to run.identity.
IdentifyResult IdentifyInstrument(RunContext& run, PortHandle port);

// 0 when the instrument reports a mains supply ("AC<END>" or "CHAR<END>",
// from the fourth query on), -1 otherwise. The last answer goes to run.power.
int CheckMainsPower(RunContext& run, PortHandle port);

// Sends the wake-up line up to 6 times; 0 when the monitor prompt appeared,
// 1 otherwise. Logs "Connecting to target".
int EnterMonitor(RunContext& run, PortHandle port);

inline constexpr int kSpeedChanged = 0;
inline constexpr int kNoPromptAtSpeed = 1;
inline constexpr int kSpeedRefused = 2;  // the PC end kept its speed; its box already shown

// Switches the monitor and then the PC end (SetPortBaud) to baud:
// kSpeedChanged when the monitor answered at the new speed, kNoPromptAtSpeed
// when not, kSpeedRefused when the port refused the speed (a run error naming
// the port, the speed and the system's reason; nothing more is sent).
int SetMonitorBaud(RunContext& run, PortHandle port, int32_t baud);

// Identification, power check, monitor hand-over, line control and speed
// change: the monitor in charge at baud, nothing loaded into the instrument
// yet. Results as EstablishConnection's.
int ReachMonitor(RunContext& run, PortHandle port, int32_t baud);

// ReachMonitor, then the loader checks. Returns kConnected, kNotIdentified (no box) or
// kConnectionFailed (its box shown with ShowRunError). Nothing is undone on
// failure: the instrument may stay in its monitor and the PC end at baud.
int EstablishConnection(RunContext& run, PortHandle port, int32_t baud);

}  // namespace r7700
