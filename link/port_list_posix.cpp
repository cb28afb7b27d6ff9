// Serial ports on Linux, read from sysfs: every ttyUSB, ttyACM and ttyS
// node with a device behind it, the USB device it hangs under (ids, maker,
// product, serial number), its driver, and its /dev/serial/by-id name.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>
#include <tuple>

#include "link/port_list.h"

namespace r7700 {
namespace {

namespace fs = std::filesystem;

// USB adapters first: they are what a technician plugs in for the update.
constexpr std::array<std::string_view, 3> kPortPrefixes{"ttyUSB", "ttyACM", "ttyS"};
// tty -> usb-serial port -> USB interface -> USB device: the device with the
// ids is at most this many folders above the tty's device.
constexpr int kUsbDeviceSearchDepth = 4;
// A serial core port of type 0 (unknown) has no UART behind it.
constexpr std::string_view kNoUart = "0";
constexpr std::string_view kGenericSerialBus = "/serial-base/";

// The first line of a sysfs attribute without its line end; empty when absent.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

// "ttyUSB12" -> kind 0, number 12; false for any other kind of tty.
bool PortKind(const std::string& name, size_t* kind, long* number) {
  for (size_t k = 0; k < kPortPrefixes.size(); ++k) {
    const std::string_view prefix = kPortPrefixes[k];
    if (!name.starts_with(prefix) || name.size() == prefix.size()) continue;
    const std::string digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
      continue;
    }
    *kind = k;
    *number = std::strtol(digits.c_str(), nullptr, 10);
    return true;
  }
  return false;
}

void DescribeUsbDevice(const fs::path& device, SerialPortInfo& port) {
  std::error_code error;
  fs::path folder = fs::canonical(device, error);
  for (int level = 0; !error && level < kUsbDeviceSearchDepth; ++level) {
    if (fs::exists(folder / "idVendor", error)) {
      port.usb = true;
      port.usb_id = Attribute(folder / "idVendor") + ":" + Attribute(folder / "idProduct");
      port.manufacturer = Attribute(folder / "manufacturer");
      port.product = Attribute(folder / "product");
      port.serial_number = Attribute(folder / "serial");
      return;
    }
    folder = folder.parent_path();
  }
}

// The driver of the device or of the nearest folder above it that has one;
// newer kernels put a generic serial-base layer between a UART and its tty.
std::string DriverName(const fs::path& device) {
  std::error_code error;
  fs::path folder = fs::canonical(device, error);
  for (int level = 0; !error && level < kUsbDeviceSearchDepth; ++level) {
    std::error_code none;
    const fs::path driver = fs::read_symlink(folder / "driver", none);
    if (!none && driver.string().find(kGenericSerialBus) == std::string::npos) {
      return driver.filename().string();
    }
    folder = folder.parent_path();
  }
  return {};
}

// tty name -> its /dev/serial/by-id link. The links point at ../../ttyUSB0.
std::map<std::string, std::string> StableNames(const fs::path& dev) {
  std::map<std::string, std::string> names;
  std::error_code error;
  for (const fs::directory_entry& link : fs::directory_iterator(dev / "serial/by-id", error)) {
    std::error_code unreadable;
    const fs::path target = fs::read_symlink(link.path(), unreadable);
    if (!unreadable) names.emplace(target.filename().string(), link.path().string());
  }
  return names;
}

}  // namespace

std::vector<SerialPortInfo> FindSerialPorts(const PortRoots& roots) {
  const fs::path dev(roots.dev);
  const std::map<std::string, std::string> stable_names = StableNames(dev);
  std::vector<std::tuple<size_t, long, SerialPortInfo>> found;
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(roots.sysfs) / "class/tty", error)) {
    const std::string name = entry.path().filename().string();
    size_t kind = 0;
    long number = 0;
    std::error_code missing;
    const fs::path device = entry.path() / "device";
    if (!PortKind(name, &kind, &number) || !fs::exists(device, missing)) continue;
    if (Attribute(entry.path() / "type") == kNoUart) continue;
    SerialPortInfo port;
    port.name = (dev / name).string();
    if (const auto stable = stable_names.find(name); stable != stable_names.end()) {
      port.stable_name = stable->second;
    }
    DescribeUsbDevice(device, port);
    port.description = DriverName(device);
    found.emplace_back(kind, number, std::move(port));
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
  });
  std::vector<SerialPortInfo> ports;
  for (auto& entry : found) ports.push_back(std::move(std::get<2>(entry)));
  return ports;
}

}  // namespace r7700
