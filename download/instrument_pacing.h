// --fast: the download reads what the instrument announces (a block's
// acknowledgement, the prompt after an erase, a checksum, a banner) as soon
// as it comes, instead of first waiting the fixed time the dialogue allows
// for it. Every limit stays at least that fixed time, and the bytes,
// commands and checks are those of the default dialogue; only an
// instrument that paces itself (acknowledges a block once it is programmed,
// prompts once an erase is done) keeps up, and any other fails the checks.
#pragma once

#include <cstdint>

#include "dialogue/command_link.h"
#include "download/flash_programming.h"
#include "link/run_context.h"
#include "link/serial_port.h"
#include "link/status_log.h"

namespace r7700 {

// The longest a one-byte read waits when nothing comes, and a line read.
inline constexpr uint32_t kByteReadLimitMs =
    kPortTimeouts.read_constant_ms + kPortTimeouts.read_per_byte_ms;
inline constexpr uint32_t kLineReadLimitMs = kLineIdleLimit * kByteReadLimitMs;

// The default wait for an acknowledgement: the short pause after the block,
// then one read and kAckRetries more, each after the short pause.
inline constexpr uint32_t kFixedAckWaitMs =
    kShortPauseMs + (kAckRetries + 1) * kByteReadLimitMs + kAckRetries * kShortPauseMs;
// One-byte reads that together wait at least as long.
inline constexpr int kPacedAckReads =
    static_cast<int>((kFixedAckWaitMs + kByteReadLimitMs - 1) / kByteReadLimitMs);

// A fixed wait before reading what the instrument will announce: made by
// default, left out when the instrument paces the dialogue, as the reads
// that follow wait for the announcement themselves.
void PauseForReply(RunContext& run, uint32_t ms);

// Reads a block's acknowledgement as soon as it comes, in at most
// kPacedAckReads one-byte reads. False when none came.
bool ReadPacedAck(PortHandle port, uint8_t* ack);

// Prompt waits that, hearing nothing, last at least the short pause and
// ticks x 800 ms: the fixed wait of an erase of ticks steps.
int PacedEraseWaits(int ticks);

}  // namespace r7700
