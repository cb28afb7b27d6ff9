// The transfer checksum: CRC-16/ARC (polynomial 0x8005 reflected as 0xA001,
// initial value 0, no final XOR), carried in 32 bits whose upper half is 0.
#pragma once

#include <cstdint>

namespace r7700 {

// Folds one byte into a running checksum. Only the byte's low 8 bits count.
uint32_t ChecksumStep(uint32_t value, uint8_t byte);

// The checksum of the first length - 1 bytes, as the instrument's "crc A N"
// computes it over N - 1 bytes. Length 0 and 1 both give 0 and read nothing.
uint32_t ChecksumBlock(const uint8_t* bytes, uint32_t length);

}  // namespace r7700
