// The instrument's flash kept in a file between runs of r7700-sim, as a
// real instrument keeps it across power cycles: so a second update can find
// what the first one left.
#pragma once

#include <string>

#include "sim/instrument.h"

namespace r7700::sim {

// Loads both flash devices from path. A missing file is a blank instrument
// (true, nothing loaded); false when the file is unreadable or malformed.
bool LoadFlashFile(const std::string& path, Instrument& instrument);

// Writes both flash devices to path; false when it cannot be written.
bool SaveFlashFile(const std::string& path, const Instrument& instrument);

}  // namespace r7700::sim
