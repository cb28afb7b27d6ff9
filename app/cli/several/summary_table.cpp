#include "app/cli/several/summary_table.h"

#include <algorithm>
#include <array>

#include "app/cli/command_line/options.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr size_t kColumns = 6;
using Row = std::array<std::string, kColumns>;
constexpr long kSecondsPerMinute = 60;

std::string StageText(StageOutcome outcome, const std::string& done) {
  switch (outcome) {
    case StageOutcome::kDone:
      return done;
    case StageOutcome::kNotChosen:
      return "not chosen";
    case StageOutcome::kFailed:
      return "FAILED";
    case StageOutcome::kNotReached:
      break;
  }
  return "-";
}

// In a few words; the full sentence follows the table.
std::string InterruptedState(InstrumentReach reach) {
  switch (reach) {
    case InstrumentReach::kUntouched:
      return "nothing sent";
    case InstrumentReach::kTalkedTo:
      return "flash not changed";
    case InstrumentReach::kFlashChanged:
      break;
  }
  return "flash partly written";
}

// A box text may run over several lines; its first line names the fault.
std::string ResultText(const PortOutcome& outcome) {
  if (outcome.result == kRunSucceeded) return "ok";
  if (outcome.result == kRunInterrupted) return "INTERRUPTED: " + InterruptedState(outcome.reach);
  return "FAILED: " + outcome.failure.substr(0, outcome.failure.find('\n'));
}

std::string Duration(double seconds) {
  const auto whole = static_cast<long>(seconds + 0.5);
  return Format("%ld:%02ld", whole / kSecondsPerMinute, whole % kSecondsPerMinute);
}

}  // namespace

std::string SummaryTable(const std::vector<PortOutcome>& outcomes, const std::string& languages) {
  std::vector<Row> rows{{"PORT", "IDENTITY", "FIRMWARE", "LANGUAGES", "RESULT", "DURATION"}};
  for (const PortOutcome& outcome : outcomes) {
    rows.push_back({outcome.port, outcome.identity.empty() ? "-" : outcome.identity,
                    StageText(outcome.report.firmware, "loaded"),
                    StageText(outcome.report.languages, languages), ResultText(outcome),
                    Duration(outcome.seconds)});
  }
  std::array<size_t, kColumns> widths{};
  for (const Row& row : rows) {
    for (size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string table;
  for (const Row& row : rows) {
    std::string line;
    for (size_t c = 0; c < kColumns; ++c) {
      line += c + 1 == kColumns ? row[c]
                                : Format("%-*s  ", static_cast<int>(widths[c]), row[c].c_str());
    }
    table += line + "\n";
  }
  return table;
}

int SeveralPortsExitStatus(const std::vector<PortOutcome>& outcomes) {
  const bool all_ok = std::all_of(outcomes.begin(), outcomes.end(),
                                  [](const PortOutcome& o) { return o.result == kRunSucceeded; });
  return all_ok ? kExitSuccess : kExitRunFailed;
}

}  // namespace r7700::cli
