// The queries the profile comparison runs, both through the Windows profile
// functions (profile_probe.exe under Wine) and through our portable reader
// (profile_query natively), printed in one form so the outputs can be diffed.
//
// One query a line; '#' starts a comment line:
//   R|section|key|default|buffer size   read a value
//   W|section|key|value                 write a value (then later reads see it)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace r7700 {

struct ProfileQuery {
  bool write = false;
  std::string section;
  std::string key;
  std::string text;  // the default of a read, the value of a write
  size_t buffer_size = 0;
};

// Parses the query lines; malformed lines are skipped and named in *problems.
std::vector<ProfileQuery> ParseProfileQueries(std::string_view text, std::string* problems);

// "R section|key|default|size => 7:English" or "W section|key=value".
std::string DescribeQuery(const ProfileQuery& query, std::string_view value);

}  // namespace r7700
