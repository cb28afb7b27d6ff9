// The simulator's final state report (r7700-sim --state), read back.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace r7700::cli {

// One region of the instrument's memory: where it lies and the SHA-256 of
// its bytes.
struct SimRegion {
  uint32_t start = 0;
  uint32_t length = 0;
  std::string sha256;
};

struct SimState {
  bool valid = false;  // the report was found and read
  bool rebooted = false;
  bool firmware_valid = false;
  bool languages_valid = false;
  std::vector<std::string> languages;
  std::vector<std::string> commands;
  // By name: firmware, boot_sector, language_area, user_flash and the same
  // with the prefix "ramcard_".
  std::map<std::string, SimRegion> regions;
};

// Reads the fields of the report; valid stays false when one is missing.
SimState ParseSimState(const std::string& json);

// The SHA-256 of `length` bytes of a file from `offset`, each combined by XOR
// with `mask` (0xA7 turns a firmware image file into what the instrument
// holds); bytes past the file's end count as erased flash (0xFF). Empty when
// the file cannot be read.
std::string FileRangeSha256(const std::string& path, uint64_t offset, uint64_t length,
                            uint8_t mask = 0);

// Whether any command received begins with prefix.
bool SawCommand(const SimState& state, const std::string& prefix);

}  // namespace r7700::cli
