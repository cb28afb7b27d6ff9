#include "bench/campaign_run.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>

#include "app/cli/command_line/options.h"
#include "app/cli/modes/modes.h"
#include "app/cli/report/run_events.h"
#include "app/cli/session.h"
#include "link/clock.h"
#include "link/forwarding_connection.h"
#include "sim/sim_backend.h"

namespace r7700::bench {
namespace {

// The instrument holds the firmware image with every byte XORed with this,
// and its marker covers this many bytes from the region's start.
constexpr uint8_t kImageMask = 0xA7;
constexpr uint32_t kFirmwareBase = 0x3C00000;
constexpr uint32_t kFirmwareSpanBytes = 0x3EFFFB;
// A read on the dead line still takes time, so no loop of the tool spins.
constexpr uint32_t kDeadReadLeastMs = 1;

// The port after the hang limit: what is written is lost, reads wait out
// their time limit and bring nothing, as on a pulled cable.
class DeadAfterLimit : public ForwardingConnection {
 public:
  DeadAfterLimit(std::unique_ptr<SerialConnection> port, VirtualClock& clock)
      : ForwardingConnection(*port), port_(std::move(port)), clock_(clock) {}

  LineResult SetTimeouts(const PortTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return inner().SetTimeouts(timeouts);
  }
  uint32_t WriteSome(const uint8_t* data, uint32_t length) override {
    return dead() ? length : inner().WriteSome(data, length);
  }
  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override {
    if (!dead()) return inner().ReadSome(buffer, count);
    clock_.Sleep(std::max(kDeadReadLeastMs,
                          timeouts_.read_per_byte_ms * count + timeouts_.read_constant_ms));
    return 0;
  }

 private:
  bool dead() const { return clock_.NowMicros() >= kHangLimitUs; }

  std::unique_ptr<SerialConnection> port_;
  VirtualClock& clock_;
  PortTimeouts timeouts_{};
};

class HangGuardBackend : public SerialBackend {
 public:
  HangGuardBackend(SimBackend& inner, VirtualClock& clock) : inner_(inner), clock_(clock) {}

  OpenResult Open(const std::string& name) override {
    OpenResult opened = inner_.Open(name);
    if (opened) opened.port = std::make_unique<DeadAfterLimit>(std::move(opened.port), clock_);
    return opened;
  }
  std::vector<std::string> CandidatePortNames() override { return inner_.CandidatePortNames(); }

 private:
  SimBackend& inner_;
  VirtualClock& clock_;
};

// The status log's last line before the last box: what the run said it
// tried before giving up.
class LastLogLine : public cli::RunEventSink {
 public:
  void LogLine(const cli::EventTime&, std::string_view line) override {
    if (!line.empty()) latest_ = line;
  }
  void Box(const cli::EventTime&, std::string_view, std::string_view) override {
    before_box_ = latest_;
  }
  const std::string& before_box() const { return before_box_; }

 private:
  std::string latest_;
  std::string before_box_;
};

struct Finished {
  RunResult result;
  sim::Instrument::Report report;
  std::vector<uint8_t> firmware_span;  // as the instrument holds it, when asked for
};

// The command line's update mode, start to end, as r7700-update runs it.
Finished RunUpdate(const std::vector<std::string>& args, const sim::LineNoise& noise,
                   bool keep_firmware_span) {
  Finished finished;
  RunResult& result = finished.result;
  cli::CliOptions options;
  std::string problem;
  if (!cli::ParseCliOptions(args, &options, &problem)) {
    result.last_box = problem;
    return finished;
  }
  sim::InstrumentConfig config;
  config.faults.line_noise = noise;
  sim::Instrument instrument(config);
  VirtualClock clock;
  SimBackend sim_backend(instrument, clock);
  HangGuardBackend backend(sim_backend, clock);
  {
    cli::Session session(options, backend, clock, cli::SessionOutputs{});
    LastLogLine log;
    session.events().Add(log);
    result.exit_status = session.Start();
    if (result.exit_status == cli::kExitSuccess) result.exit_status = RunUpdateMode(session);
    result.last_box = session.observer().last_problem();
    result.last_log_line = log.before_box();
  }
  result.virtual_us = clock.NowMicros();
  result.to_instrument = instrument.noise_counts(sim::Direction::kToInstrument);
  result.to_pc = instrument.noise_counts(sim::Direction::kToPc);
  finished.report = instrument.MakeReport();
  const bool said_success = result.exit_status == cli::kExitSuccess;
  const bool holds_valid_images =
      instrument.rebooted() && finished.report.firmware_valid && finished.report.languages_valid;
  result.outcome = !said_success        ? Outcome::kFailed
                   : holds_valid_images ? Outcome::kSuccess
                                        : Outcome::kFalseSuccess;
  if (result.virtual_us >= kHangLimitUs) result.outcome = Outcome::kHang;
  if (keep_firmware_span)
    finished.firmware_span = instrument.Read(kFirmwareBase, kFirmwareSpanBytes);
  return finished;
}

bool SameRegions(const std::vector<sim::Instrument::Report::Region>& a,
                 const std::vector<sim::Instrument::Report::Region>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.name == y.name && x.start == y.start && x.length == y.length && x.sha256 == y.sha256;
  });
}

// The span the firmware marker covers, as the instrument must hold it.
std::vector<uint8_t> MaskedImageSpan(const std::string& image_path) {
  std::ifstream image(image_path, std::ios::binary);
  std::vector<uint8_t> span;
  span.reserve(kFirmwareSpanBytes);
  std::istreambuf_iterator<char> byte(image);
  for (; byte != std::istreambuf_iterator<char>() && span.size() < kFirmwareSpanBytes; ++byte) {
    span.push_back(static_cast<uint8_t>(*byte) ^ kImageMask);
  }
  return span;
}

}  // namespace

bool MakeReference(const std::vector<std::string>& args, const std::string& image_path,
                   Reference* reference, std::string* problem) {
  const Finished clean = RunUpdate(args, sim::LineNoise{}, true);
  if (clean.result.outcome != Outcome::kSuccess) {
    *problem = "the clean run did not succeed (exit " + std::to_string(clean.result.exit_status) +
               "): " + clean.result.last_box;
    return false;
  }
  if (clean.firmware_span != MaskedImageSpan(image_path)) {
    *problem = "after the clean run the firmware differs from " + image_path;
    return false;
  }
  reference->regions = clean.report.regions;
  reference->virtual_us = clean.result.virtual_us;
  reference->bytes_to_instrument = clean.result.to_instrument.bytes;
  reference->bytes_to_pc = clean.result.to_pc.bytes;
  return true;
}

RunResult RunNoisyUpdate(const std::vector<std::string>& args, const sim::LineNoise& noise,
                         const Reference& reference) {
  Finished run = RunUpdate(args, noise, false);
  if (run.result.outcome == Outcome::kSuccess &&
      !SameRegions(run.report.regions, reference.regions)) {
    run.result.outcome = Outcome::kFalseSuccess;
  }
  return run.result;
}

}  // namespace r7700::bench
