// Whole updates with r7700-update against r7700-sim over a pty at 115200
// baud, side by side: the default dialogue, --fast, and --skip-unchanged on
// an instrument that already holds the image or differs from it in one
// sector. Each run is set against its physical floor: the time the line
// carried bytes plus the time the instrument itself was busy (starting its
// monitor, erasing, programming, summing, changing speed, answering), both
// as the simulator measured them. The instrument keeps its flash between
// runs in a file, as a real one keeps it across power cycles.
//
//   update_bench [--time-scale=F]
//
// The time scale (default R7700_TIME_SCALE, else 1 = real time) shrinks
// every wait of the tool and of the simulator alike; all times are reported
// on the unscaled base (real seconds divided by the scale).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/clock.h"
#include "tests/cli/processes.h"
#include "tests/cli/sim_state.h"

namespace r7700::cli {
namespace {

constexpr int kUpdateTimeLimitSeconds = 3600;
// The sector of the firmware image that the one-sector case changes.
constexpr uint32_t kChangedSectorOffset = 0x120000;
constexpr uint32_t kChangedBytes = 16;

struct Measured {
  bool ok = false;
  double tool_s = 0;   // the tool's run, start to exit
  double floor_s = 0;  // line time plus the instrument's busy time
  double wire_s = 0;
  double busy_s = 0;
  std::string problem;
};

// A number the state report holds as "key": value.
double ReportNumber(const std::string& json, const std::string& key) {
  const std::string label = "\"" + key + "\": ";
  const size_t at = json.find(label);
  return at == std::string::npos ? -1 : std::strtod(json.c_str() + at + label.size(), nullptr);
}

Measured RunUpdate(const std::string& home, const std::string& flash_file,
                   const std::vector<std::string>& tool_flags, double scale) {
  Measured m;
  SimProcess sim({"--flash", flash_file}, scale);
  if (sim.port().empty()) {
    m.problem = "r7700-sim did not start";
    return m;
  }
  std::vector<std::string> args{"--home", home, "--baud", "115200", "--yes", "--port", sim.port()};
  args.insert(args.end(), tool_flags.begin(), tool_flags.end());
  const auto start = std::chrono::steady_clock::now();
  const ToolResult run = RunTool(args, "", std::to_string(scale), kUpdateTimeLimitSeconds);
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  const std::string json = sim.Stop();
  const SimState state = ParseSimState(json);
  m.tool_s = wall.count() / scale;
  m.wire_s = ReportNumber(json, "line_us") / 1e6;
  m.busy_s = ReportNumber(json, "busy_us") / 1e6;
  m.floor_s = m.wire_s + m.busy_s;
  m.ok = run.status == 0 && state.valid && state.firmware_valid && state.languages_valid &&
         m.wire_s >= 0 && m.busy_s >= 0;
  if (!m.ok) m.problem = "exit " + std::to_string(run.status) + "\n" + run.out + run.err;
  return m;
}

// Changes a few bytes of one sector of the masked firmware image.
bool ChangeOneSector(const std::string& image_path) {
  std::fstream image(image_path, std::ios::in | std::ios::out | std::ios::binary);
  std::vector<char> bytes(kChangedBytes);
  image.seekg(kChangedSectorOffset);
  image.read(bytes.data(), kChangedBytes);
  for (char& byte : bytes) byte = static_cast<char>(~byte);
  image.seekp(kChangedSectorOffset);
  image.write(bytes.data(), kChangedBytes);
  return static_cast<bool>(image);
}

void Report(const char* name, const Measured& m, double default_s) {
  if (!m.ok) {
    std::printf("%-48s FAILED: %s\n", name, m.problem.c_str());
  } else {
    std::printf("%-48s %8.1f %8.1f %7.1f %7.1f %8.3f %9.3f\n", name, m.tool_s, m.floor_s, m.wire_s,
                m.busy_s, m.tool_s / m.floor_s, m.tool_s / default_s);
  }
  std::fflush(stdout);
}

bool TakeTimeScale(int argc, char** argv, double* scale) {
  static constexpr const char* kFlag = "--time-scale=";
  for (int i = 1; i < argc; ++i) {
    std::string problem;
    if (std::strncmp(argv[i], kFlag, std::strlen(kFlag)) == 0) {
      *scale = ParseTimeScale(argv[i] + std::strlen(kFlag), &problem);
    } else {
      problem = std::string("unknown argument ") + argv[i];
    }
    if (!problem.empty()) {
      std::fprintf(stderr, "update_bench: %s\n", problem.c_str());
      return false;
    }
  }
  return true;
}

int Main(int argc, char** argv) {
  std::string problem;
  double scale = TimeScaleFromEnvironment(&problem);
  if (!problem.empty() || !TakeTimeScale(argc, argv, &scale)) return 64;
  const std::string home = MakeTempFolder("r7700-update-bench");
  if (home.empty() || !MakeSampleData(home, {})) return 1;
  const std::string flash = home + "/instrument-flash.bin";
  const std::string image = home + "/data/vqvesk.bin";

  std::printf("time scale %g; seconds on the unscaled base, 115200 baud, whole update runs\n",
              scale);
  std::printf("%-48s %8s %8s %7s %7s %8s %9s\n", "run", "tool_s", "floor_s", "wire_s", "busy_s",
              "x_floor", "x_default");
  std::filesystem::remove(flash);
  const Measured full = RunUpdate(home, flash, {}, scale);
  Report("(a) full update, default", full, full.tool_s);
  std::filesystem::remove(flash);
  const Measured fast = RunUpdate(home, flash, {"--fast"}, scale);
  Report("(a) full update, --fast", fast, full.tool_s);
  Report("(b) same again, --skip-unchanged", RunUpdate(home, flash, {"--skip-unchanged"}, scale),
         full.tool_s);
  Report("(b) same again, --skip-unchanged --fast",
         RunUpdate(home, flash, {"--skip-unchanged", "--fast"}, scale), full.tool_s);
  if (!ChangeOneSector(image)) return 1;
  Report("(c) one sector changed, --skip-unchanged",
         RunUpdate(home, flash, {"--skip-unchanged"}, scale), full.tool_s);
  if (!ChangeOneSector(image)) return 1;
  Report("(c) one sector changed, --skip-unchanged --fast",
         RunUpdate(home, flash, {"--skip-unchanged", "--fast"}, scale), full.tool_s);
  std::filesystem::remove_all(home);
  return 0;
}

}  // namespace
}  // namespace r7700::cli

int main(int argc, char** argv) {
  return r7700::cli::Main(argc, argv);
}
