// The serial ports of this machine, described so a technician can tell them
// apart: which one is the USB adapter on the bench, and why another cannot
// be used. Finding them is platform code (port_list_posix.cpp,
// port_list_win32.cpp); probing is portable, over the serial backend.
#pragma once

#include <string>
#include <vector>

#include "link/serial_backend.h"

namespace r7700 {

struct SerialPortInfo {
  std::string name;         // what --port takes: /dev/ttyUSB0, COM12
  std::string stable_name;  // a name that survives replugging (/dev/serial/by-id/...), or empty
  bool usb = false;         // a USB serial adapter (Windows: any port but an on-board UART)
  std::string usb_id;       // vendor:product in hex, "0403:6001"
  std::string manufacturer;
  std::string product;
  std::string serial_number;
  std::string description;  // what else the platform says (driver, device), or empty
  PortOpenFailure state;    // problem kNone: free at the probe
};

// Where the platform's device descriptions are read. A test points these at
// a fake tree; Windows has no such folders and ignores them.
struct PortRoots {
  std::string sysfs = "/sys";
  std::string dev = "/dev";
};

// Every serial port that exists, USB adapters first, each kind in numeric
// order; no limit on the count. The state is not probed.
std::vector<SerialPortInfo> FindSerialPorts(const PortRoots& roots);

// Opens each port exclusively, closes it at once, and records why an open
// was refused.
inline void ProbePorts(SerialBackend& backend, std::vector<SerialPortInfo>& ports) {
  for (SerialPortInfo& port : ports) {
    // Closed again at once; no setting is applied.
    port.state = backend.Open(port.name).failure;
  }
}

}  // namespace r7700
