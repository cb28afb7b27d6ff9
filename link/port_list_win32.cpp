// Serial ports on Windows: every COM name from COM1 to COM256 that names a
// device. The device behind it tells an on-board UART (\Device\Serial<n>)
// from an adapter, whose driver names its own devices.
#include <windows.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "link/port_list.h"

namespace r7700 {
namespace {

constexpr int kHighestComPort = 256;
constexpr size_t kDeviceNameBytes = 512;  // room for the device paths QueryDosDevice gives
constexpr std::string_view kOnBoardDevice = "\\Device\\Serial";

}  // namespace

std::vector<SerialPortInfo> FindSerialPorts(const PortRoots&) {
  std::vector<SerialPortInfo> ports;
  std::array<char, kDeviceNameBytes> device{};
  for (int n = 1; n <= kHighestComPort; ++n) {
    SerialPortInfo port;
    port.name = "COM" + std::to_string(n);
    if (QueryDosDeviceA(port.name.c_str(), device.data(), static_cast<DWORD>(device.size())) == 0) {
      continue;
    }
    port.description = device.data();
    port.usb = !port.description.starts_with(kOnBoardDevice);
    ports.push_back(std::move(port));
  }
  std::stable_partition(ports.begin(), ports.end(),
                        [](const SerialPortInfo& port) { return port.usb; });
  return ports;
}

}  // namespace r7700
