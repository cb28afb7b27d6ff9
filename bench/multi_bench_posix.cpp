// A service bench: N = 1, 2, 4 and 8 simulated instruments, each r7700-sim
// on its own pty, updated at once at 115200 baud by the command line's own
// orchestration (one thread, window and run context per port, one shared
// language image). Reported per N: the wall time of the whole update of all
// N, its ratio to the time of one, and the CPU time per instrument of the
// tool (this process) and of the simulators.
//
//   multi_bench [--time-scale=F] [benchmark options]
//
// The time scale (default R7700_TIME_SCALE, else 1 = real time) shrinks
// every wait of the tool and of the simulators alike; wall times are
// reported on that scaled base (real seconds / scale), CPU times as spent.
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/several/port_runs.h"
#include "bench/time_scale_argument.h"
#include "download/firmware_download.h"
#include "languages/image_builder.h"
#include "link/serial_port.h"
#include "tests/dialogue/sim_process_posix.h"
#include "tests/download/images.h"

namespace r7700::cli {
namespace {

constexpr int32_t kBenchBaud = 115200;
constexpr int kMaxInstruments = 8;
// A language image of a few typical languages; the firmware fills its region.
constexpr size_t kLanguageImageBytes = 256 * 1024;

struct BenchSettings {
  double time_scale = 1.0;
  std::string firmware_path;
  std::string language_path;
  std::string folder;
  double one_instrument_s = 0;  // the wall time of N = 1, once measured
};

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void UpdateAtOnce(benchmark::State& state, BenchSettings& settings) {
  const auto count = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::string> ports;
    for (size_t i = 0; i < count; ++i) {
      const std::string state_path = settings.folder + "/state" + std::to_string(i) + ".json";
      sims.push_back(std::make_unique<SimProcess>(
          R7700_SIM_PATH,
          std::vector<std::string>{"--time-scale", std::to_string(settings.time_scale), "--state",
                                   state_path}));
      ports.push_back(sims.back()->pty_path());
    }
    RealClock clock(settings.time_scale);
    std::unique_ptr<SerialBackend> backend = MakePlatformSerialBackend(settings.time_scale);
    UpdateRequest request;
    request.baud = kBenchBaud;
    request.download_firmware = true;
    request.download_languages = true;
    const PortRunsJob job{.serial = *backend,
                          .clock = clock,
                          .request = request,
                          .firmware_path = settings.firmware_path,
                          .language_image_path = settings.language_path};
    std::FILE* quiet = std::fopen("/dev/null", "w");
    MultiDisplay display(DisplayStreams{quiet, quiet, false, false, 0}, ports);

    const double tool_cpu_start = CpuSeconds(RUSAGE_SELF);
    const double sim_cpu_start = CpuSeconds(RUSAGE_CHILDREN);
    const auto wall_start = std::chrono::steady_clock::now();
    const std::vector<PortOutcome> outcomes = UpdatePorts(job, ports, display);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wall_start;
    const double tool_cpu = CpuSeconds(RUSAGE_SELF) - tool_cpu_start;
    for (auto& sim : sims) sim->Stop();
    const double sim_cpu = CpuSeconds(RUSAGE_CHILDREN) - sim_cpu_start;
    std::fclose(quiet);

    for (const PortOutcome& outcome : outcomes) {
      if (outcome.result != 0) {
        state.SkipWithError((outcome.port + " failed: " + outcome.failure).c_str());
        return;
      }
    }
    const double wall_s = wall.count() / settings.time_scale;
    if (count == 1) settings.one_instrument_s = wall_s;
    state.SetIterationTime(wall_s);
    state.counters["instruments"] = static_cast<double>(count);
    if (settings.one_instrument_s > 0) {
      state.counters["ratio_to_one"] = wall_s / settings.one_instrument_s;
    }
    state.counters["tool_cpu_per_instrument_s"] = tool_cpu / static_cast<double>(count);
    state.counters["tool_cpu_pct_per_instrument"] =
        100 * tool_cpu / wall.count() / static_cast<double>(count);
    state.counters["sim_cpu_per_instrument_s"] = sim_cpu / static_cast<double>(count);
  }
}

}  // namespace
}  // namespace r7700::cli

int main(int argc, char** argv) {
  using namespace r7700;
  using namespace r7700::cli;
  std::string problem;
  BenchSettings settings;
  settings.time_scale = TimeScaleFromEnvironment(&problem);
  if (!problem.empty() || !TakeTimeScaleArgument(argc, argv, "multi_bench", &settings.time_scale))
    return 64;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 64;

  char folder[] = "/tmp/r7700-multi-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  settings.folder = folder;
  settings.firmware_path = settings.folder + "/vqvesk.bin";
  settings.language_path = settings.folder + "/lang.img";
  test::WriteMaskedFirmware(settings.firmware_path, kFirmwareRegionBytes);
  test::WriteBytes(settings.language_path, test::PatternBytes(kLanguageImageBytes, 11));

  // N = 1 runs first: the others are compared with it.
  benchmark::RegisterBenchmark(
      "UpdateAtOnce", [&settings](benchmark::State& state) { UpdateAtOnce(state, settings); })
      ->RangeMultiplier(2)
      ->Range(1, kMaxInstruments)
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kSecond);
  std::printf("time scale %g: wall times are on the scaled base (real seconds / scale)\n",
              settings.time_scale);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(settings.folder);
  return 0;
}
