// Listing and choosing serial ports, and the one-line reason of an open
// that failed: the same words for the listing and for the error.
#pragma once

#include <string>
#include <vector>

#include "link/port_list.h"

namespace r7700::cli {

// One block a port: name, state and description on the first line, the
// stable name indented below it. Empty for no ports.
std::string PortListing(const std::vector<SerialPortInfo>& ports);

// One line saying why nothing can be used, or empty when a port is free.
std::string NoUsablePortNote(const std::vector<SerialPortInfo>& ports);

// The port to use when none was named: the only USB serial adapter. With
// none or several, port is empty and why says so in one line.
struct PortChoice {
  std::string port;
  std::string why;
};
PortChoice ChoosePort(const std::vector<SerialPortInfo>& ports);

// "cannot open NAME: REASON (NEXT STEP)" for an open that failed.
std::string OpenFailureLine(const std::string& name, const PortOpenFailure& failure);

}  // namespace r7700::cli
