// One JSON object on one line, built field by field in the order given.
// Strings are escaped so that any bytes (a garbled reply line included)
// give valid JSON: bytes outside printable ASCII become \u00XX.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace r7700::cli {

std::string JsonString(std::string_view text);
// A list of values that are JSON already.
std::string JsonList(const std::vector<std::string>& values);
// A list of strings.
std::string JsonStrings(const std::vector<std::string>& texts);

class JsonObject {
 public:
  JsonObject& Text(std::string_view key, std::string_view value);
  JsonObject& Number(std::string_view key, int64_t value);
  JsonObject& Seconds(std::string_view key, double value);  // three decimals
  JsonObject& Flag(std::string_view key, bool value);
  // A value that is JSON already (an object or a list).
  JsonObject& Raw(std::string_view key, std::string_view json);
  std::string str() const { return "{" + fields_ + "}"; }

 private:
  std::string fields_;
};

}  // namespace r7700::cli
