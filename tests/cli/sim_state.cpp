#include "tests/cli/sim_state.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "sim/sha256.h"

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

uint64_t ReadNumber(const std::string& json, const std::string& key, size_t from) {
  const std::string label = "\"" + key + "\": ";
  const size_t at = json.find(label, from);
  return at == std::string::npos ? 0 : std::strtoull(json.c_str() + at + label.size(), nullptr, 10);
}

// "regions": {"name": {"start": S, "length": L, "sha256": "..."}, ...}
bool ReadRegions(const std::string& json, std::map<std::string, SimRegion>* regions) {
  size_t at = ValueAt(json, "regions");
  if (at == std::string::npos || json[at] != '{') return false;
  const size_t end = json.find("\n  }", at);
  if (end == std::string::npos) return false;
  for (++at; (at = json.find('"', at)) < end;) {
    const std::string name = ReadString(json, at);
    const size_t close = json.find('}', at);
    SimRegion region;
    region.start = static_cast<uint32_t>(ReadNumber(json, "start", at));
    region.length = static_cast<uint32_t>(ReadNumber(json, "length", at));
    const std::string digest_label = "\"sha256\": ";
    size_t digest_at = json.find(digest_label, at);
    if (digest_at == std::string::npos || digest_at > close) return false;
    digest_at += digest_label.size();
    region.sha256 = ReadString(json, digest_at);
    (*regions)[name] = region;
    at = close + 1;
  }
  return !regions->empty();
}

}  // namespace

SimState ParseSimState(const std::string& json) {
  SimState state;
  state.valid = ReadBool(json, "rebooted", &state.rebooted) &&
                ReadBool(json, "firmware_valid", &state.firmware_valid) &&
                ReadBool(json, "languages_valid", &state.languages_valid) &&
                ReadList(json, "languages", &state.languages) &&
                ReadList(json, "commands", &state.commands) && ReadRegions(json, &state.regions);
  return state;
}

std::string FileRangeSha256(const std::string& path, uint64_t offset, uint64_t length,
                            uint8_t mask) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return "";
  file.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(length, '\xFF');
  file.read(bytes.data(), static_cast<std::streamsize>(length));
  const auto got = static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0));
  for (size_t i = 0; i < got; ++i) bytes[i] = static_cast<char>(bytes[i] ^ mask);
  return sim::Sha256Hex(bytes);
}

bool SawCommand(const SimState& state, const std::string& prefix) {
  return std::any_of(state.commands.begin(), state.commands.end(),
                     [&](const std::string& command) { return command.starts_with(prefix); });
}

}  // namespace r7700::cli
