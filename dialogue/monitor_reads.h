// Read-only monitor queries: one function per command exchange, each
// leaving the monitor in charge with its prompt taken off the line. They
// change nothing in the instrument, so any stage may use them to read back
// what it wrote or to learn what the instrument holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "link/run_context.h"
#include "link/serial_port.h"

namespace r7700 {

// "dm A" answers one row: the 16 bytes from A as "%02X " each (48
// characters), then a blank and the same bytes as text.
inline constexpr uint32_t kDumpRowBytes = 16;
inline constexpr size_t kDumpRowHexChars = 3 * kDumpRowBytes;
// Line reads allowed for one reply before it counts as missing; a read that
// hears nothing ends after the line idle limit (about 2 s on a real port).
inline constexpr int kQueryReplyReads = 10;
// How often a checksum query is repeated when the monitor shows its prompt
// in place of the value.
inline constexpr int kQueryChecksumRepeats = 2;
// With repair: how often in all a query is asked whose reply came garbled,
// was lost or refused (the command itself may have come garbled).
inline constexpr int kQueryAsks = 3;

// Reads one dump row's 16 bytes into row: true only when the line begins
// with 16 "%02X " groups (either case of hex digit); the text column is not
// looked at, since it cannot show every byte.
bool ParseDumpRow(std::string_view line, uint8_t* row);

// Reads count bytes from address into bytes with one "dm" per 16-byte row
// (each followed by the short pause), the prompt awaited after every row.
// Lines before the row other than a refusal are passed over. False when a
// row did not come, came malformed, was refused, or its prompt did not
// follow (each asked up to kQueryAsks times with repair); the contents of
// bytes are then unspecified.
bool ReadMonitorMemory(RunContext& run, PortHandle port, uint32_t address, uint8_t* bytes,
                       uint32_t count);

// The monitor's checksum (the transfer checksum) over byte_count bytes from
// address. The command names byte_count + 1, as "crc" covers its length
// less one. wait_ms is the pause between the query and the first read: the
// monitor sums about 1 MB a second. A prompt in place of the value repeats
// the query (kQueryChecksumRepeats times, each with the same pause). The
// value is a line of exactly four hex digits and must be followed by the
// prompt. Empty when no value came, the query was refused, or the prompt did
// not follow, with repair kQueryAsks times.
std::optional<uint16_t> QueryMonitorChecksum(RunContext& run, PortHandle port, uint32_t address,
                                             uint32_t byte_count, uint32_t wait_ms);

}  // namespace r7700
