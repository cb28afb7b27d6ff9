#include "download/instrument_pacing.h"

namespace r7700 {
namespace {

// One prompt wait that hears nothing lasts its line reads' idle limits.
constexpr uint32_t kPromptWaitLimitMs = kPromptReadsPerWait * kLineReadLimitMs;

}  // namespace

void PauseForReply(RunContext& run, uint32_t ms) {
  if (!run.policy.instrument_paced) run.clock.Sleep(ms);
}

bool ReadPacedAck(PortHandle port, uint8_t* ack) {
  for (int read = 0; read < kPacedAckReads; ++read) {
    if (ReadPortBytes(port, ack, 1) == 1) return true;
  }
  return false;
}

int PacedEraseWaits(int ticks) {
  const uint32_t fixed_wait_ms = kShortPauseMs + static_cast<uint32_t>(ticks) * kEraseTickMs;
  return static_cast<int>((fixed_wait_ms + kPromptWaitLimitMs - 1) / kPromptWaitLimitMs);
}

}  // namespace r7700
