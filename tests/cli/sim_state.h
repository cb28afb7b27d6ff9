// The simulator's final state report (r7700-sim --state), read back.
#pragma once

#include <string>
#include <vector>

namespace r7700::cli {

struct SimState {
  bool valid = false;  // the report was found and read
  bool rebooted = false;
  bool firmware_valid = false;
  bool languages_valid = false;
  std::vector<std::string> languages;
  std::vector<std::string> commands;
};

// Reads the fields of the report; valid stays false when one is missing.
SimState ParseSimState(const std::string& json);

// Whether any command received begins with prefix.
bool SawCommand(const SimState& state, const std::string& prefix);

}  // namespace r7700::cli
