// Image files for the download tests and the benchmark: a full firmware
// image as the instrument should end up holding it, and pattern bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "download/firmware_download.h"

namespace r7700::test {

// Bytes that differ from block to block and from 0xFF: a shifted or lost
// block shows in the instrument's memory.
inline std::vector<uint8_t> PatternBytes(size_t length, uint32_t seed) {
  std::vector<uint8_t> bytes(length);
  uint32_t state = seed;
  for (auto& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

// A full firmware image, unmasked: data, then the gap byte and the marker
// position blank (so the marker can be programmed over them), then a boot
// sector.
inline const std::vector<uint8_t>& FirmwareImage() {
  static const std::vector<uint8_t> image = [] {
    std::vector<uint8_t> bytes = PatternBytes(kFirmwareRegionBytes, 7);
    std::fill(bytes.begin() + kFirmwareDataLimitOffset, bytes.begin() + kBootSectorOffset,
              uint8_t{0xFF});
    return bytes;
  }();
  return image;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Writes the first length bytes of the firmware image as the file holds
// them, masked.
inline void WriteMaskedFirmware(const std::string& path, size_t length) {
  std::vector<uint8_t> masked(FirmwareImage().begin(),
                              FirmwareImage().begin() + static_cast<long>(length));
  for (auto& byte : masked) byte ^= ImageMask;
  WriteBytes(path, masked);
}

}  // namespace r7700::test
