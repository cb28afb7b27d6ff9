// The noise campaign: N seeded full updates (4 MiB firmware and two
// languages at 115200 baud) per error rate and direction, each through the
// command line's own update run against the simulated instrument on a
// virtual clock, with the line noise of sim/line_noise.h. Every run ends as
// one of: success (SUCCESS, and every region of the instrument's memory
// equal to what a clean run left, which holds the image byte for byte),
// failure reported, false SUCCESS, or hang (not ended within an hour of
// line time). Times are virtual: what the same run takes on a real line,
// set against the clean run. With a tool that has --no-repair, every row
// runs with repair on and off.
//
//   campaign_bench [--runs=N] [--first-seed=S] [--case=DIRECTION:KIND:RATE]...
//
// DIRECTION is to-instrument or to-pc, KIND bits, drops or duplicates;
// without --case: bits towards the instrument at 1e-8, 1e-7 and 1e-6, and
// towards the PC at 1e-5. Run i of every row uses seed S + i. The exit
// status is 1 when any run gave a false SUCCESS or hung, 64 for a usage
// error, 2 when the sample data or the clean run failed.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/command_line/options.h"
#include "bench/campaign_run.h"
#include "tests/cli/processes.h"

namespace r7700::bench {
namespace {

constexpr int kDefaultRuns = 100;
constexpr int kExitBadOutcome = 1;
constexpr int kExitSetupFailed = 2;
constexpr int kExitUsage = 64;
constexpr size_t kReasonsShown = 3;
constexpr double kMicrosPerSecond = 1e6;

enum class Kind { kBits, kDrops, kDuplicates };

struct Case {
  bool to_pc = false;
  Kind kind = Kind::kBits;
  double rate = 0;
};

struct Row {
  int counts[4] = {};                 // by Outcome
  double errors = 0;                  // what the noise struck, over all runs
  std::vector<double> success_ratio;  // time against the clean run, per success
  std::vector<double> failure_ratio;
  std::map<std::string, int> reasons;  // the failures' last boxes, first line
};

sim::LineNoise NoiseFor(const Case& c, uint64_t seed) {
  sim::LineNoise noise;
  noise.seed = seed;
  sim::NoiseRates& rates = c.to_pc ? noise.to_pc : noise.to_instrument;
  (c.kind == Kind::kBits    ? rates.bit_error_rate
   : c.kind == Kind::kDrops ? rates.drop_rate
                            : rates.duplicate_rate) = c.rate;
  return noise;
}

double Struck(const Case& c, const RunResult& run) {
  const sim::NoiseCounts& counts = c.to_pc ? run.to_pc : run.to_instrument;
  return static_cast<double>(c.kind == Kind::kBits    ? counts.bits_flipped
                             : c.kind == Kind::kDrops ? counts.bytes_dropped
                                                      : counts.bytes_duplicated);
}

std::string CaseLabel(const Case& c) {
  const char* kinds[] = {"bit errors", "drops", "duplicates"};
  char label[96];
  std::snprintf(label, sizeof label, "%s %s %g", c.to_pc ? "instrument->PC" : "PC->instrument",
                kinds[static_cast<int>(c.kind)], c.rate);
  return label;
}

bool ParseCase(std::string_view text, Case* c) {
  const size_t first = text.find(':');
  const size_t second = text.find(':', first + 1);
  if (first == std::string_view::npos || second == std::string_view::npos) return false;
  const std::string_view direction = text.substr(0, first);
  const std::string_view kind = text.substr(first + 1, second - first - 1);
  const std::string rate(text.substr(second + 1));
  if (direction != "to-instrument" && direction != "to-pc") return false;
  c->to_pc = direction == "to-pc";
  if (kind == "bits") {
    c->kind = Kind::kBits;
  } else if (kind == "drops") {
    c->kind = Kind::kDrops;
  } else if (kind == "duplicates") {
    c->kind = Kind::kDuplicates;
  } else {
    return false;
  }
  char* end = nullptr;
  c->rate = std::strtod(rate.c_str(), &end);
  return !rate.empty() && *end == '\0' && c->rate > 0 && c->rate <= 1;
}

struct Arguments {
  int runs = kDefaultRuns;
  uint64_t first_seed = 1;
  std::vector<Case> cases;
};

bool ParseArguments(int argc, char** argv, Arguments* arguments) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    Case c;
    if (arg.starts_with("--runs=")) {
      arguments->runs = std::atoi(argv[i] + 7);
      if (arguments->runs < 1) return false;
    } else if (arg.starts_with("--first-seed=")) {
      arguments->first_seed = std::strtoull(argv[i] + 13, nullptr, 10);
    } else if (arg.starts_with("--case=") && ParseCase(arg.substr(7), &c)) {
      arguments->cases.push_back(c);
    } else {
      return false;
    }
  }
  if (arguments->cases.empty()) {
    arguments->cases = {{false, Kind::kBits, 1e-8},
                        {false, Kind::kBits, 1e-7},
                        {false, Kind::kBits, 1e-6},
                        {true, Kind::kBits, 1e-5}};
  }
  return true;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string Ratios(const std::vector<double>& values) {
  if (values.empty()) return "-";
  char text[48];
  std::snprintf(text, sizeof text, "%.2f / %.2f", Median(values),
                *std::max_element(values.begin(), values.end()));
  return text;
}

void PrintHeader(std::FILE* out) {
  std::fprintf(out,
               "| line noise | repair | runs | success | failed | false SUCCESS | hang | "
               "struck per run | success rate | success time x clean (median / max) | "
               "failure time x clean (median / max) |\n"
               "|---|---|---|---|---|---|---|---|---|---|---|\n");
}

void PrintRow(std::FILE* out, const std::string& label, const char* repair, int runs,
              const Row& row) {
  const auto count = [&](Outcome outcome) { return row.counts[static_cast<int>(outcome)]; };
  std::fprintf(out, "| %s | %s | %d | %d | %d | %d | %d | %.2f | %.1f %% | %s | %s |\n",
               label.c_str(), repair, runs, count(Outcome::kSuccess), count(Outcome::kFailed),
               count(Outcome::kFalseSuccess), count(Outcome::kHang), row.errors / runs,
               100.0 * count(Outcome::kSuccess) / runs, Ratios(row.success_ratio).c_str(),
               Ratios(row.failure_ratio).c_str());
  std::fflush(out);
}

// The most frequent reasons the runs of a row failed, after the table: the
// box and the status log's line before it.
void PrintReasons(std::FILE* out, const std::string& label, const char* repair, const Row& row) {
  std::vector<std::pair<int, std::string>> reasons;
  for (const auto& [reason, count] : row.reasons) reasons.emplace_back(count, reason);
  std::sort(reasons.rbegin(), reasons.rend());
  if (reasons.size() > kReasonsShown) reasons.resize(kReasonsShown);
  for (const auto& [count, reason] : reasons) {
    std::fprintf(out, "%s, repair %s: %d x \"%s\"\n", label.c_str(), repair, count, reason.c_str());
  }
}

Row RunRow(const Case& c, const Arguments& arguments, const std::vector<std::string>& args,
           const Reference& reference) {
  Row row;
  for (int i = 0; i < arguments.runs; ++i) {
    const RunResult run = RunNoisyUpdate(
        args, NoiseFor(c, arguments.first_seed + static_cast<uint64_t>(i)), reference);
    ++row.counts[static_cast<int>(run.outcome)];
    row.errors += Struck(c, run);
    const double ratio =
        static_cast<double>(run.virtual_us) / static_cast<double>(reference.virtual_us);
    if (run.outcome == Outcome::kSuccess) {
      row.success_ratio.push_back(ratio);
    } else {
      row.failure_ratio.push_back(ratio);
      ++row.reasons[run.last_box.substr(0, run.last_box.find('\n')) + "\" after \"" +
                    run.last_log_line];
    }
  }
  return row;
}

int Main(int argc, char** argv) {
  Arguments arguments;
  if (!ParseArguments(argc, argv, &arguments)) {
    std::fprintf(stderr,
                 "usage: campaign_bench [--runs=N] [--first-seed=S] "
                 "[--case=to-instrument|to-pc:bits|drops|duplicates:RATE]...\n");
    return kExitUsage;
  }
  const std::string home = cli::MakeTempFolder("r7700-campaign");
  if (home.empty() || !cli::MakeSampleData(home, {})) {
    std::fprintf(stderr, "campaign_bench: cannot write the sample data\n");
    return kExitSetupFailed;
  }
  const std::vector<std::string> args{"--home", home,      "--port", "SIM",     "--baud", "115200",
                                      "--lang", "English", "--lang", "Espanol", "--yes"};
  // The runs' own output (the status log, the boxes) goes nowhere; the
  // table goes where stdout went.
  std::FILE* out = fdopen(dup(STDOUT_FILENO), "w");
  std::FILE* err = fdopen(dup(STDERR_FILENO), "w");
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  dup2(null, STDERR_FILENO);
  close(null);

  // Repair on and off, when the tool can be told to leave it off.
  std::vector<std::pair<const char*, std::vector<std::string>>> modes{{"as is", args}};
  cli::CliOptions probe;
  std::string problem;
  if (cli::ParseCliOptions({"--no-repair"}, &probe, &problem)) {
    std::vector<std::string> off = args;
    off.push_back("--no-repair");
    modes = {{"on", args}, {"off", off}};
  }
  std::vector<Reference> references(modes.size());
  for (size_t m = 0; m < modes.size(); ++m) {
    if (!MakeReference(modes[m].second, home + "/data/vqvesk.bin", &references[m], &problem)) {
      std::fprintf(err, "campaign_bench: %s\n", problem.c_str());
      return kExitSetupFailed;
    }
    std::fprintf(out,
                 "repair %s: a clean full update (4 MiB firmware, English and Espanol, 115200 "
                 "baud) takes %.1f s of line time; %lld bytes go to the instrument, %lld to "
                 "the PC\n",
                 modes[m].first, static_cast<double>(references[m].virtual_us) / kMicrosPerSecond,
                 static_cast<long long>(references[m].bytes_to_instrument),
                 static_cast<long long>(references[m].bytes_to_pc));
  }
  std::fprintf(out, "%d seeded runs per row, seeds %llu to %llu\n\n", arguments.runs,
               static_cast<unsigned long long>(arguments.first_seed),
               static_cast<unsigned long long>(arguments.first_seed + arguments.runs - 1));
  PrintHeader(out);
  int status = 0;
  std::vector<std::pair<std::string, Row>> rows;
  for (const Case& c : arguments.cases) {
    for (size_t m = 0; m < modes.size(); ++m) {
      const Row row = RunRow(c, arguments, modes[m].second, references[m]);
      PrintRow(out, CaseLabel(c), modes[m].first, arguments.runs, row);
      rows.emplace_back(modes[m].first, row);
      if (row.counts[static_cast<int>(Outcome::kFalseSuccess)] > 0 ||
          row.counts[static_cast<int>(Outcome::kHang)] > 0) {
        status = kExitBadOutcome;
      }
    }
  }
  std::fprintf(out, "\n");
  for (size_t r = 0; r < rows.size(); ++r) {
    PrintReasons(out, CaseLabel(arguments.cases[r / modes.size()]), rows[r].first.c_str(),
                 rows[r].second);
  }
  std::error_code error;
  std::filesystem::remove_all(home, error);
  std::fclose(out);
  std::fclose(err);
  return status;
}

}  // namespace
}  // namespace r7700::bench

int main(int argc, char** argv) {
  return r7700::bench::Main(argc, argv);
}
