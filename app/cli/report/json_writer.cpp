#include "app/cli/report/json_writer.h"

#include "link/text_format.h"

namespace r7700::cli {

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte >= 0x7F) {
      out += Format("\\u%04x", static_cast<unsigned>(byte));
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Appended piece by piece: the cross compiler's restrict check trips over a
// literal plus a string at -O3.
std::string JsonList(const std::vector<std::string>& values) {
  std::string list(1, '[');
  return list.append(Joined(values)).append(1, ']');
}

std::string JsonStrings(const std::vector<std::string>& texts) {
  std::vector<std::string> values;
  for (const std::string& text : texts) values.push_back(JsonString(text));
  return JsonList(values);
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view value) {
  return Raw(key, JsonString(value));
}

JsonObject& JsonObject::Number(std::string_view key, int64_t value) {
  return Raw(key, Format("%lld", static_cast<long long>(value)));
}

JsonObject& JsonObject::Seconds(std::string_view key, double value) {
  return Raw(key, Format("%.3f", value));
}

JsonObject& JsonObject::Flag(std::string_view key, bool value) {
  return Raw(key, value ? "true" : "false");
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
  if (!fields_.empty()) fields_ += ", ";
  fields_ += JsonString(key);
  fields_ += ": ";
  fields_ += json;
  return *this;
}

}  // namespace r7700::cli
