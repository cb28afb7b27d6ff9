// A log file as a service record. Each run in it begins with a head (the
// tool's version, the command line, port and speed, and the image files
// with their sizes and checksums), names the instrument once it is known,
// and ends with one verdict line, so a script can find every run of a shift
// in one file: a run starts at its "run:" line and ends at its "verdict:".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace r7700::cli {

struct RunHead {
  std::string command;  // the command line as given
  std::string port = {};
  int32_t baud = 0;
  std::vector<std::string> images = {};  // one line each: "firmware PATH: N bytes, checksum XXXX"
};

// "run: r7700-update VERSION" and one line for each part of head.
std::string HeadText(const RunHead& head);

// "instrument: IDENTITY" and, when known, "monitor: VERSION".
std::string InstrumentText(const std::string& identity, const std::string& monitor);

// "verdict: OUTCOME, exit N, M:SS[, firmware ...; languages ...]", OUTCOME
// as the JSON result names it (ExitOutcomeName).
std::string VerdictText(int exit_status, double seconds, const std::string& holdings);

}  // namespace r7700::cli
