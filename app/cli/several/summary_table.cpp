#include "app/cli/several/summary_table.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "app/cli/command_line/options.h"
#include "app/cli/several/multi_display.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr size_t kColumns = 6;
using Row = std::array<std::string, kColumns>;
constexpr size_t kGapChars = 2;
constexpr size_t kIdentityColumn = 1;
constexpr size_t kFirmwareColumn = 2;
constexpr size_t kLanguagesColumn = 3;
constexpr size_t kResultColumn = 4;
constexpr size_t kMinResultChars = 6;

std::string StageText(StageOutcome outcome, const std::string& done) {
  switch (outcome) {
    case StageOutcome::kDone:
      return done;
    case StageOutcome::kUnchanged:
      return "unchanged";
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

}  // namespace

// A box text may run over several lines; its first line names the fault.
std::string ResultText(const PortOutcome& outcome) {
  if (outcome.result == kRunSucceeded) return "ok";
  if (outcome.result == kRunInterrupted) return "INTERRUPTED: " + InterruptedState(outcome.reach);
  return "FAILED: " + outcome.failure.substr(0, outcome.failure.find('\n'));
}

std::string SummaryTable(const std::vector<PortOutcome>& outcomes, const std::string& languages,
                         int columns) {
  std::vector<Row> rows{{"PORT", "IDENTITY", "FIRMWARE", "LANGUAGES", "RESULT", "DURATION"}};
  for (const PortOutcome& outcome : outcomes) {
    rows.push_back({outcome.port, outcome.report.identity.empty() ? "-" : outcome.report.identity,
                    StageText(outcome.report.firmware, "loaded"),
                    StageText(outcome.report.languages, languages), ResultText(outcome),
                    MinutesAndSeconds(outcome.seconds)});
  }
  std::array<size_t, kColumns> widths{};
  for (const Row& row : rows) {
    for (size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  const auto total = [&] {
    size_t sum = 0;
    for (const size_t w : widths) sum += w > 0 ? w + kGapChars : 0;
    return sum;
  };
  // Too wide for the terminal: the identity goes first, then the languages
  // (both said above the table), then the firmware; the result is cut last
  // and the duration, a number, never.
  const size_t limit = columns > 0 ? static_cast<size_t>(columns - 1) + kGapChars : SIZE_MAX;
  for (const size_t dropped : {kIdentityColumn, kLanguagesColumn, kFirmwareColumn}) {
    if (total() <= limit) break;
    widths[dropped] = 0;
  }
  if (const size_t sum = total(); sum > limit) {
    const size_t excess = sum - limit;
    size_t& result = widths[kResultColumn];
    result = result > excess + kMinResultChars ? result - excess : kMinResultChars;
  }
  std::string table;
  for (const Row& row : rows) {
    std::string line;
    for (size_t c = 0; c < kColumns; ++c) {
      if (widths[c] == 0) continue;
      const std::string cell = row[c].substr(0, widths[c]);
      line +=
          c + 1 == kColumns ? cell : Format("%-*s  ", static_cast<int>(widths[c]), cell.c_str());
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
