// The command line of r7700-sim.
#pragma once

#include <string>
#include <vector>

#include "sim/instrument.h"

namespace r7700::sim {

struct SimOptions {
  std::string link_path;   // a symlink to the pty's slave, when not empty
  std::string state_path;  // the final state as JSON, when not empty
  std::string flash_path;  // flash kept here between runs, when not empty
  double time_scale = 1.0;
  InstrumentConfig config;
  bool help = false;
  bool version = false;
};

extern const char* const kSimUsage;

// Parses the arguments after the program name. The time scale starts from
// default_time_scale (the environment's). False with a message in *problem
// on a usage error.
bool ParseSimOptions(const std::vector<std::string>& args, double default_time_scale,
                     SimOptions* options, std::string* problem);

}  // namespace r7700::sim
