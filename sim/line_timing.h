// Time a serial line needs for whole bytes: 10 bit times each (start bit,
// 8 data bits, stop bit).
#pragma once

#include <cstdint>

namespace r7700::sim {

inline constexpr int64_t kBitsPerByte = 10;

// Microseconds that the first `bytes` bytes of a transmission at `baud` take,
// counted from its start; exact for any count, so pacing does not drift.
constexpr int64_t LineMicros(int64_t bytes, int32_t baud) {
  return bytes * kBitsPerByte * 1000000 / baud;
}

}  // namespace r7700::sim
