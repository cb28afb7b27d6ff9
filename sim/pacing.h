// The instrument's timing towards the tool, in one place: how long each
// piece of work keeps it busy, and what it hears meanwhile. A busy agent is
// deaf: its UART holds a few bytes, everything beyond them is lost.
#pragma once

#include <cstddef>
#include <cstdint>

namespace r7700::sim {

struct Core;

inline constexpr int64_t kSectorEraseUs = 600000;  // per 64 KiB sector
inline constexpr int64_t kCrcNanosPerByte = 1000;  // the monitor sums about 1 MB a second
// Flash takes about 10 µs to program a byte (typical for NOR flash of the
// instrument's kind): a 10240-byte firmware block keeps the downloader busy
// for 102 ms, a 1024-byte language block for 10 ms.
inline constexpr int64_t kProgramNanosPerByte = 10000;
// The monitor reprograms its UART once the reply to "baud" has left it.
inline constexpr int64_t kBaudSettleUs = 10000;
inline constexpr size_t kReceiveFifoBytes = 16;
// Replies wait in a buffer of this size; while it is full the agent waits
// for the line and hears nothing.
inline constexpr int64_t kTransmitBufferBytes = 256;

inline constexpr int64_t kLost = -1;

// The agent works from from_us and is busy (deaf beyond its FIFO) until
// until_us; the work counts towards its busy time.
void BusyUntil(Core& core, int64_t from_us, int64_t until_us);

// When the agent takes in a byte that arrives at arrival_us, or kLost.
int64_t HearingTime(Core& core, int64_t arrival_us);

// The downloader has received the last byte of a block at last_byte_us:
// programs it (flash only) and returns when its acknowledgement may start:
// after programming, or at once with the no-pacing fault.
int64_t BlockAckTime(Core& core, int64_t last_byte_us, uint32_t length, bool programs_flash);

}  // namespace r7700::sim
