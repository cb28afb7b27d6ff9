// --list-ports --json: the ports as --list-ports lists them, for a script,
// with each port's state as a stable word and the system's reason.
#pragma once

#include <string>
#include <vector>

#include "link/port_list.h"

namespace r7700::cli {

// A JSON list, one object a port in the listing's order: name, state
// ("free", "busy", "not-permitted", "missing", "not-serial" or
// "cannot-open"), reason (the system's words; empty when free), usb,
// usb_id, manufacturer, product, serial_number, driver and stable_name
// (empty strings where unknown).
std::string PortListJson(const std::vector<SerialPortInfo>& ports);

}  // namespace r7700::cli
