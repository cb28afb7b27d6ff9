#include "app/cli/ports/port_list_json.h"

#include "app/cli/report/json_writer.h"

namespace r7700::cli {
namespace {

std::string_view StateWord(PortProblem problem) {
  switch (problem) {
    case PortProblem::kNone:
      return "free";
    case PortProblem::kBusy:
      return "busy";
    case PortProblem::kDenied:
      return "not-permitted";
    case PortProblem::kMissing:
      return "missing";
    case PortProblem::kNotSerial:
      return "not-serial";
    case PortProblem::kOther:
      break;
  }
  return "cannot-open";
}

}  // namespace

std::string PortListJson(const std::vector<SerialPortInfo>& ports) {
  std::vector<std::string> list;
  for (const SerialPortInfo& port : ports) {
    list.push_back(JsonObject()
                       .Text("name", port.name)
                       .Text("state", StateWord(port.state.problem))
                       .Text("reason", port.state.reason)
                       .Flag("usb", port.usb)
                       .Text("usb_id", port.usb_id)
                       .Text("manufacturer", port.manufacturer)
                       .Text("product", port.product)
                       .Text("serial_number", port.serial_number)
                       .Text("driver", port.description)
                       .Text("stable_name", port.stable_name)
                       .str());
  }
  return JsonList(list);
}

}  // namespace r7700::cli
