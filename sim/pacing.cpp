#include "sim/pacing.h"

#include <algorithm>

#include "sim/core.h"
#include "sim/line_timing.h"

namespace r7700::sim {
namespace {

constexpr int64_t kAckDelayUs = 2000;

// While more replies wait than the transmit buffer holds, the agent is stuck
// handing them to the UART.
int64_t OutputBlockedUntil(const Core& core) {
  const int64_t free_us = core.line.free_us();
  return free_us - LineMicros(kTransmitBufferBytes, core.line.BaudAt(free_us));
}

}  // namespace

void BusyUntil(Core& core, int64_t from_us, int64_t until_us) {
  core.busy_us += std::max<int64_t>(0, until_us - std::max(from_us, core.busy_until_us));
  core.busy_until_us = std::max(core.busy_until_us, until_us);
}

int64_t HearingTime(Core& core, int64_t arrival_us) {
  if (arrival_us < core.deaf_until_us) return kLost;
  std::deque<int64_t>& held = core.fifo_taken_at_us;
  while (!held.empty() && held.front() <= arrival_us) held.pop_front();
  const int64_t busy_us = std::max(core.busy_until_us, OutputBlockedUntil(core));
  if (arrival_us >= busy_us) return arrival_us;
  if (held.size() >= kReceiveFifoBytes) return kLost;
  held.push_back(busy_us);
  return busy_us;
}

int64_t BlockAckTime(Core& core, int64_t last_byte_us, uint32_t length, bool programs_flash) {
  int64_t done_us = last_byte_us;
  if (programs_flash) {
    done_us += int64_t{length} * kProgramNanosPerByte / 1000;
    BusyUntil(core, last_byte_us, done_us);
  }
  // An instrument that does not pace itself acknowledges on receipt and
  // is deaf while it programs all the same.
  if (core.config.faults.no_pacing) return last_byte_us + kAckDelayUs;
  return done_us + kAckDelayUs;
}

}  // namespace r7700::sim
