// One seeded update for the noise campaign: the command line's own update
// run, in process, against the simulated instrument on a virtual clock, so
// the time it reports is the time a real line would take and a 40-minute
// update costs well under a second. The outcome is judged by the
// instrument alone: its markers and the digests of every region of memory
// against those a clean run left.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/instrument.h"

namespace r7700::bench {

// A run that has not ended by then is a hang: from then on the line is
// dead (as if the cable were pulled), so a tool whose waits are bounded
// ends all the same. An hour: eight clean full updates at 115200 baud.
inline constexpr int64_t kHangLimitUs = int64_t{3600} * 1000000;

enum class Outcome {
  kSuccess,       // SUCCESS, and the instrument holds what a clean run left
  kFailed,        // the run reported a failure
  kFalseSuccess,  // SUCCESS, but the instrument holds something else
  kHang,          // not ended within kHangLimitUs
};

struct RunResult {
  Outcome outcome = Outcome::kFailed;
  int exit_status = -1;
  int64_t virtual_us = 0;  // start to end of the run on the virtual clock
  sim::NoiseCounts to_instrument;
  sim::NoiseCounts to_pc;
  std::string last_box;       // the text of the last box shown (the failure's reason)
  std::string last_log_line;  // the status log's last line before that box
};

// What the instrument must hold after a successful update: the regions a
// clean run left, once that run's firmware span was found equal to the image.
struct Reference {
  std::vector<sim::Instrument::Report::Region> regions;
  int64_t virtual_us = 0;
  int64_t bytes_to_instrument = 0;  // what the clean run put on the line each way
  int64_t bytes_to_pc = 0;
};

// Runs r7700-update's update with args (without the program name) on a
// clean line; on SUCCESS with both markers valid and the instrument's
// firmware span equal to the masked image at image_path, its regions become
// the reference. False with a reason otherwise.
bool MakeReference(const std::vector<std::string>& args, const std::string& image_path,
                   Reference* reference, std::string* problem);

// Runs the same update against a fresh instrument with this line noise.
RunResult RunNoisyUpdate(const std::vector<std::string>& args, const sim::LineNoise& noise,
                         const Reference& reference);

}  // namespace r7700::bench
