#include "tests/cli/sim_state.h"

#include <algorithm>
#include <cstdlib>

namespace r7700::cli {
namespace {

// Where the value of "key" begins, or npos.
size_t ValueAt(const std::string& json, const std::string& key) {
  const std::string label = "\"" + key + "\": ";
  const size_t at = json.find(label);
  return at == std::string::npos ? at : at + label.size();
}

bool ReadBool(const std::string& json, const std::string& key, bool* value) {
  const size_t at = ValueAt(json, key);
  if (at == std::string::npos) return false;
  *value = json.compare(at, 4, "true") == 0;
  return true;
}

// A JSON string starting at json[at] == '"'; the report escapes only '"',
// '\\' and bytes outside printable ASCII (as \u00XX).
std::string ReadString(const std::string& json, size_t& at) {
  std::string text;
  for (++at; at < json.size() && json[at] != '"'; ++at) {
    if (json[at] != '\\' || at + 1 >= json.size()) {
      text.push_back(json[at]);
    } else if (json[++at] == 'u' && at + 4 < json.size()) {
      text.push_back(static_cast<char>(std::strtol(json.substr(at + 1, 4).c_str(), nullptr, 16)));
      at += 4;
    } else {
      text.push_back(json[at]);
    }
  }
  ++at;
  return text;
}

bool ReadList(const std::string& json, const std::string& key, std::vector<std::string>* items) {
  size_t at = ValueAt(json, key);
  if (at == std::string::npos || json[at] != '[') return false;
  for (++at; at < json.size() && json[at] != ']';) {
    if (json[at] == '"') {
      items->push_back(ReadString(json, at));
    } else {
      ++at;
    }
  }
  return at < json.size();
}

}  // namespace

SimState ParseSimState(const std::string& json) {
  SimState state;
  state.valid = ReadBool(json, "rebooted", &state.rebooted) &&
                ReadBool(json, "firmware_valid", &state.firmware_valid) &&
                ReadBool(json, "languages_valid", &state.languages_valid) &&
                ReadList(json, "languages", &state.languages) &&
                ReadList(json, "commands", &state.commands);
  return state;
}

bool SawCommand(const SimState& state, const std::string& prefix) {
  return std::any_of(state.commands.begin(), state.commands.end(),
                     [&](const std::string& command) { return command.starts_with(prefix); });
}

}  // namespace r7700::cli
