#include "sim/sim_backend.h"

#include <algorithm>

#include "sim/line_timing.h"

namespace r7700 {

constexpr const char* kRefusedSpeedReason = "the PC's UART cannot run at that speed";

// One open port to the simulated instrument. Every call first lets the
// PC's UART take in what the instrument has finished sending by now.
class SimConnection : public SerialConnection {
 public:
  explicit SimConnection(SimBackend& backend) : backend_(backend) {
    backend_.open_ = true;
    // What the instrument sent while no port was open is gone.
    backend_.pc_queue_.clear();
    backend_.instrument_.DiscardStarted(Now());
  }
  ~SimConnection() override { backend_.open_ = false; }
  SimConnection(const SimConnection&) = delete;
  SimConnection& operator=(const SimConnection&) = delete;

  bool RequestQueues(uint32_t, uint32_t) override { return true; }

  LineResult Purge() override {
    backend_.Pump();
    backend_.pc_queue_.clear();
    backend_.instrument_.DiscardStarted(Now());
    ++backend_.purge_count_;
    return {};
  }

  LineResult SetTimeouts(const PortTimeouts& timeouts) override {
    backend_.timeouts_ = timeouts;
    return {};
  }
  LineResult ConfigureLine(int32_t baud) override { return SetBaud(baud); }

  LineResult SetBaud(int32_t baud) override {
    if (baud == backend_.refused_baud_) return LineResult::Refused(kRefusedSpeedReason);
    backend_.Pump();  // bytes complete before the change were decoded at the old speed
    backend_.pc_baud_ = baud;
    return {};
  }

  LineResult RaiseLines() override { return {}; }

  // A synchronous write: returns when the last byte has left the PC.
  uint32_t WriteSome(const uint8_t* data, uint32_t length) override {
    backend_.Pump();
    backend_.sent_.insert(backend_.sent_.end(), data, data + length);
    backend_.instrument_.Receive(data, length, Now(), backend_.pc_baud_);
    backend_.clock_.AdvanceMicros(sim::LineMicros(length, backend_.pc_baud_));
    return length;
  }

  void Flush() override {}

  // Returns at once with what has arrived; otherwise waits for the next byte
  // or the read time limit, whichever comes first. A limit of 0 (no
  // timeouts set) returns at once.
  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override {
    if (count == 0) return 0;
    backend_.Pump();
    if (backend_.pc_queue_.empty()) {
      const PortTimeouts& timeouts = backend_.timeouts_;
      const int64_t limit_us =
          (int64_t{timeouts.read_per_byte_ms} * count + timeouts.read_constant_ms) * 1000;
      const int64_t next_us = backend_.instrument_.NextOutputMicros();
      backend_.clock_.AdvanceMicros(std::min(limit_us, std::max<int64_t>(next_us - Now(), 0)));
      backend_.Pump();
    }
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(count, backend_.pc_queue_.size()));
    for (uint32_t i = 0; i < n; ++i) {
      buffer[i] = backend_.pc_queue_.front();
      backend_.pc_queue_.pop_front();
    }
    backend_.received_.insert(backend_.received_.end(), buffer, buffer + n);
    return n;
  }

  void ClearError() override {}

 private:
  int64_t Now() const { return backend_.clock_.NowMicros(); }

  SimBackend& backend_;
};

SimBackend::SimBackend(sim::Instrument& instrument, VirtualClock& clock)
    : instrument_(instrument), clock_(clock) {}

OpenResult SimBackend::Open(const std::string& name) {
  if (name != "SIM") return {nullptr, {PortProblem::kMissing, "no such port", {}}};
  if (open_) return {nullptr, {PortProblem::kBusy, "in use", {}}};
  return {std::make_unique<SimConnection>(*this), {}};
}

std::vector<std::string> SimBackend::CandidatePortNames() {
  return {"SIM"};
}

void SimBackend::Pump() {
  uint8_t bytes[256];
  size_t n;
  while ((n = instrument_.Transmit(bytes, sizeof bytes, clock_.NowMicros(), pc_baud_)) > 0) {
    pc_queue_.insert(pc_queue_.end(), bytes, bytes + n);
  }
}

}  // namespace r7700
