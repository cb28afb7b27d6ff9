// How long a full firmware download and a maximal language download take
// against r7700-sim over a pty at 115200 baud, compared with the floor the
// dialogue itself sets: the bytes on the wire (10 bits a byte), the pauses
// the tool makes by design and the simulator's own delays, measured by the
// same download on virtual time. The tool's CPU time shows whether it waits
// by sleeping or by spinning.
//
// The floor is a cable's: a write there returns once its bytes are on the
// line. On the pty a write returns as soon as the simulator has read it, so
// the pause after a block runs while the block is still on its way, and a
// run can come out slightly under the floor.
//
//   download_bench [--time-scale=F] [benchmark options]
//
// The time scale (default R7700_TIME_SCALE, else 1 = real time) shrinks
// every wait of the tool and of the simulator alike; all times reported are
// on that scaled base, so the ratios do not depend on it.
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/time_scale_argument.h"
#include "dialogue/connection.h"
#include "download/firmware_download.h"
#include "languages/language_download.h"
#include "link/forwarding_connection.h"
#include "link/memory_window.h"
#include "sim/instrument.h"
#include "sim/sim_backend.h"
#include "tests/dialogue/sim_process_posix.h"
#include "tests/download/images.h"

namespace r7700 {
namespace {

constexpr int32_t kBenchBaud = 115200;
constexpr double kBitsPerByte = 10;

// Sums the pauses the tool asks for.
class CountingClock : public Clock {
 public:
  explicit CountingClock(Clock& inner) : inner_(inner) {}
  void Sleep(uint32_t ms) override {
    slept_ms_ += ms;
    inner_.Sleep(ms);
  }
  int64_t CalendarSeconds() override { return inner_.CalendarSeconds(); }
  uint64_t slept_ms() const { return slept_ms_; }

 private:
  Clock& inner_;
  uint64_t slept_ms_ = 0;
};

// Counts the bytes that cross the port in either direction.
class CountingConnection : public ForwardingConnection {
 public:
  explicit CountingConnection(SerialConnection& inner) : ForwardingConnection(inner) {}
  uint32_t WriteSome(const uint8_t* data, uint32_t length) override {
    const uint32_t n = ForwardingConnection::WriteSome(data, length);
    sent_ += n;
    return n;
  }
  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override {
    const uint32_t n = ForwardingConnection::ReadSome(buffer, count);
    received_ += n;
    return n;
  }
  uint64_t sent() const { return sent_; }
  uint64_t received() const { return received_; }

 private:
  uint64_t sent_ = 0;
  uint64_t received_ = 0;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct BenchSettings {
  double time_scale = 1.0;
  std::string firmware_path;
  std::string language_path;
};

enum class Download { kFirmware, kLanguages };

int RunOne(RunContext& run, PortHandle port, Download which) {
  return which == Download::kFirmware ? DownloadFirmwareImage(run, port)
                                      : DownloadLanguageImage(run, port);
}

// What the dialogue itself costs, with a tool that costs no time: the same
// download against the in-process simulator on virtual time, whose writes
// take their time on the line as on a cable.
struct Floor {
  double seconds = 0;
  double wire_s = 0;
  double pauses_s = 0;
};

Floor MeasureFloor(const BenchSettings& settings, Download which) {
  sim::InstrumentConfig config;
  config.in_monitor = true;
  config.initial_baud = kBenchBaud;
  sim::Instrument instrument(config);
  VirtualClock virtual_clock;
  SimBackend backend(instrument, virtual_clock);
  MemoryWindow window;
  OwnedPort sim_port = OpenPort(backend, window, "SIM", kBenchBaud);
  CountingClock clock(virtual_clock);
  CountingConnection port(*sim_port);
  RunContext run{window, clock, {}, {}, settings.firmware_path, settings.language_path};
  const int64_t start_us = virtual_clock.NowMicros();
  if (RunOne(run, &port, which) != 0) return {};
  Floor floor;
  floor.seconds = static_cast<double>(virtual_clock.NowMicros() - start_us) / 1e6;
  floor.wire_s = static_cast<double>(port.sent() + port.received()) * kBitsPerByte / kBenchBaud;
  floor.pauses_s = static_cast<double>(clock.slept_ms()) / 1000;
  return floor;
}

// One download after a connection at 115200 baud. Times in seconds on the
// scaled base (real seconds divided by the scale).
void RunDownload(benchmark::State& state, const BenchSettings& settings, Download which) {
  const double scale = settings.time_scale;
  const Floor floor = MeasureFloor(settings, which);
  if (floor.seconds <= 0) {
    state.SkipWithError("the download failed against the in-process simulator");
    return;
  }
  for (auto _ : state) {
    PtySession session(R7700_SIM_PATH, scale, settings.firmware_path + ".state.json");
    if (session.port == nullptr ||
        EstablishConnection(session.run, session.port.get(), kBenchBaud) != kConnected) {
      state.SkipWithError("no connection to r7700-sim");
      return;
    }
    session.run.firmware_image_path = settings.firmware_path;
    session.run.language_image_path = settings.language_path;
    CountingConnection port(*session.port);
    const double cpu_start = CpuSeconds();
    const auto wall_start = std::chrono::steady_clock::now();
    const int result = RunOne(session.run, &port, which);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wall_start;
    const double cpu = CpuSeconds() - cpu_start;
    if (result != 0) {
      state.SkipWithError(("download failed: " + session.Log()).c_str());
      return;
    }
    const double wall_s = wall.count() / scale;
    state.SetIterationTime(wall_s);
    state.counters["bytes_sent"] = static_cast<double>(port.sent());
    state.counters["floor_s"] = floor.seconds;
    state.counters["floor_wire_s"] = floor.wire_s;
    state.counters["floor_pauses_s"] = floor.pauses_s;
    state.counters["overhead_pct"] = 100 * (wall_s - floor.seconds) / floor.seconds;
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_pct"] = 100 * cpu / wall.count();
  }
}

}  // namespace
}  // namespace r7700

int main(int argc, char** argv) {
  using namespace r7700;
  std::string problem;
  BenchSettings settings;
  settings.time_scale = TimeScaleFromEnvironment(&problem);
  if (!problem.empty() ||
      !TakeTimeScaleArgument(argc, argv, "download_bench", &settings.time_scale))
    return 64;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 64;

  char folder[] = "/tmp/r7700-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  settings.firmware_path = std::string(folder) + "/vqvesk.bin";
  settings.language_path = std::string(folder) + "/lang.img";
  test::WriteMaskedFirmware(settings.firmware_path, kFirmwareRegionBytes);
  test::WriteBytes(settings.language_path, test::PatternBytes(kMaxLanguageImageBytes, 11));

  for (const auto& [name, which] : {std::pair{"FirmwareDownload", Download::kFirmware},
                                    std::pair{"LanguageDownloadMaximal", Download::kLanguages}}) {
    benchmark::RegisterBenchmark(name,
                                 [&settings, which = which](benchmark::State& state) {
                                   RunDownload(state, settings, which);
                                 })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
  }
  std::printf("time scale %g: times are on the scaled base (real seconds / scale)\n",
              settings.time_scale);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(settings.firmware_path.c_str());
  std::remove(settings.language_path.c_str());
  std::remove((settings.firmware_path + ".state.json").c_str());
  rmdir(folder);
  return 0;
}
