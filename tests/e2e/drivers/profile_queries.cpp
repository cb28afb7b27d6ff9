#include "tests/e2e/drivers/profile_queries.h"

#include <cstdlib>

namespace r7700 {
namespace {

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  size_t begin = 0;
  while (true) {
    const size_t bar = line.find('|', begin);
    fields.emplace_back(line.substr(begin, bar - begin));
    if (bar == std::string_view::npos) break;
    begin = bar + 1;
  }
  return fields;
}

}  // namespace

std::vector<ProfileQuery> ParseProfileQueries(std::string_view text, std::string* problems) {
  std::vector<ProfileQuery> queries;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(begin, end - begin);
    begin = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    const std::vector<std::string> fields = SplitFields(line);
    ProfileQuery query;
    if (fields[0] == "R" && fields.size() == 5) {
      query.buffer_size = std::strtoul(fields[4].c_str(), nullptr, 10);
    } else if (fields[0] == "W" && fields.size() == 4) {
      query.write = true;
    } else {
      if (problems != nullptr) *problems += "bad query: " + std::string(line) + "\n";
      continue;
    }
    query.section = fields[1];
    query.key = fields[2];
    query.text = fields[3];
    queries.push_back(query);
  }
  return queries;
}

std::string DescribeQuery(const ProfileQuery& query, std::string_view value) {
  if (query.write) return "W " + query.section + "|" + query.key + "=" + query.text;
  return "R " + query.section + "|" + query.key + "|" + query.text + "|" +
         std::to_string(query.buffer_size) + " => " + std::to_string(value.size()) + ":" +
         std::string(value);
}

}  // namespace r7700
