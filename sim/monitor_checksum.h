// The monitor's checksum (16-bit CRC, polynomial 0xA001 bit-reversed, start
// 0), computed bit by bit. Written apart from the tool's table-driven code on
// purpose: a fault in one of them shows as a mismatch instead of cancelling.
#pragma once

#include <cstdint>

namespace r7700::sim {

constexpr uint16_t MonitorChecksumStep(uint16_t value, uint8_t byte) {
  constexpr uint16_t kReversedPolynomial = 0xA001;
  value ^= byte;
  for (int bit = 0; bit < 8; ++bit) {
    value = (value & 1) != 0 ? static_cast<uint16_t>((value >> 1) ^ kReversedPolynomial)
                             : static_cast<uint16_t>(value >> 1);
  }
  return value;
}

}  // namespace r7700::sim
