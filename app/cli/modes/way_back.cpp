#include "app/cli/modes/way_back.h"

#include "link/serial_port.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

// The lowest speed above the opening one: the first to try when the line
// let a faster run down.
constexpr int32_t kSaferBaud = 57600;

std::string ImageHolding(StageOutcome outcome, int64_t bytes_written) {
  switch (outcome) {
    case StageOutcome::kDone:
      return "valid (written by this run)";
    case StageOutcome::kUnchanged:
      return "valid (unchanged, not written)";
    case StageOutcome::kFailed:
      if (bytes_written > 0) {
        return Format("not valid (partly written: %lld bytes)",
                      static_cast<long long>(bytes_written));
      }
      return "not valid (erased, nothing written)";
    case StageOutcome::kNotChosen:
    case StageOutcome::kNotReached:
      break;
  }
  return "untouched (as before this run)";
}

bool WroteFlash(const PortRunReport& report) {
  return report.firmware == StageOutcome::kFailed || report.languages == StageOutcome::kFailed ||
         report.firmware == StageOutcome::kDone || report.languages == StageOutcome::kDone;
}

}  // namespace

std::string HoldingsText(const RunEnding& ending) {
  return "firmware " + ImageHolding(ending.report.firmware, ending.firmware_bytes) +
         "; languages " + ImageHolding(ending.report.languages, ending.language_bytes);
}

std::string NextStepText(const RunEnding& ending) {
  const PortRunReport& report = ending.report;
  if (!report.connected) {
    return "run the same command again; if the instrument does not answer, cycle its power first";
  }
  const std::string again = Format(
      "it waits in its boot monitor at %ld baud: run the same command again (no power "
      "cycle needed)",
      static_cast<long>(ending.baud));
  std::string step = again;
  if (WroteFlash(report) && !ending.skip_unchanged) {
    step += ", with --skip-unchanged to rewrite only what differs";
  }
  if (ending.interrupted) return step;
  if (ending.fast) return step + ", without --fast: this instrument cannot keep its pace";
  // A download that failed at speed: the line is the likely cause.
  if (WroteFlash(report) && ending.baud > kSaferBaud) {
    step +=
        Format("; if it fails again, use -b %ld or check the cable", static_cast<long>(kSaferBaud));
  }
  return step;
}

}  // namespace r7700::cli
