#include "app/cli/ports/port_choice.h"

#include <algorithm>
#include <set>

namespace r7700::cli {
namespace {

std::string NextStep(const PortOpenFailure& failure) {
  switch (failure.problem) {
    case PortProblem::kMissing:
      return "is the adapter plugged in? r7700-update --list-ports shows the ports";
    case PortProblem::kDenied:
      return failure.allowed_group.empty() ? "ask for read and write access to it"
                                           : "join the " + failure.allowed_group + " group";
    case PortProblem::kBusy:
      return "another program is using it; close that program";
    case PortProblem::kNotSerial:
      return "name a serial port; r7700-update --list-ports shows them";
    case PortProblem::kNone:
    case PortProblem::kOther:
      break;
  }
  return {};
}

std::string StateText(const PortOpenFailure& state) {
  switch (state.problem) {
    case PortProblem::kNone:
      return "free";
    case PortProblem::kDenied:
      return "not permitted (" + NextStep(state) + ")";
    case PortProblem::kBusy:
      return "busy";
    case PortProblem::kMissing:
      return "missing (" + state.reason + ")";
    case PortProblem::kNotSerial:
      return "not a serial port";
    case PortProblem::kOther:
      break;
  }
  return "cannot be opened (" + state.reason + ")";
}

void AddPart(std::string& text, const std::string& part) {
  if (part.empty()) return;
  if (!text.empty()) text += ", ";
  text += part;
}

std::string Description(const SerialPortInfo& port) {
  std::string text = port.usb ? "USB" : "on-board";
  if (!port.usb_id.empty()) text += " " + port.usb_id;
  std::string made = port.manufacturer;
  if (!port.product.empty()) made += (made.empty() ? "" : " ") + port.product;
  AddPart(text, made);
  if (!port.serial_number.empty()) AddPart(text, "serial " + port.serial_number);
  if (!port.description.empty()) AddPart(text, "driver " + port.description);
  return text;
}

size_t CountUsb(const std::vector<SerialPortInfo>& ports) {
  return static_cast<size_t>(std::count_if(ports.begin(), ports.end(),
                                           [](const SerialPortInfo& port) { return port.usb; }));
}

}  // namespace

std::string PortListing(const std::vector<SerialPortInfo>& ports) {
  std::string listing;
  for (const SerialPortInfo& port : ports) {
    listing += port.name + "  " + StateText(port.state) + "  " + Description(port) + "\n";
    if (!port.stable_name.empty()) listing += "    " + port.stable_name + "\n";
  }
  return listing;
}

std::string NoUsablePortNote(const std::vector<SerialPortInfo>& ports) {
  if (ports.empty()) return "no serial port found (is the USB serial adapter plugged in?)";
  std::set<std::string> reasons;
  for (const SerialPortInfo& port : ports) {
    if (port.state.problem == PortProblem::kNone) return {};
    reasons.insert(StateText(port.state));
  }
  std::string note;
  for (const std::string& reason : reasons) AddPart(note, reason);
  return "no port can be opened: " + note;
}

PortChoice ChoosePort(const std::vector<SerialPortInfo>& ports) {
  const size_t usb = CountUsb(ports);
  if (usb == 1) {
    const auto only = std::find_if(ports.begin(), ports.end(),
                                   [](const SerialPortInfo& port) { return port.usb; });
    return {only->name,
            "using " + only->name + ", the only USB serial adapter (" + Description(*only) + ")"};
  }
  if (usb == 0) return {{}, "no USB serial adapter found; name the port with --port"};
  return {{}, std::to_string(usb) + " USB serial adapters found; name one with --port"};
}

std::string OpenFailureLine(const std::string& name, const PortOpenFailure& failure) {
  std::string line = "cannot open " + name;
  if (!failure.reason.empty()) line += ": " + failure.reason;
  if (const std::string step = NextStep(failure); !step.empty()) line += " (" + step + ")";
  return line;
}

}  // namespace r7700::cli
