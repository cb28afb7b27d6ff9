// The checks of the end-to-end driver: one line per check on stdout, and
// counts for the driver's exit status.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace r7700 {

// Joins texts. GCC 12 at -O3 warns falsely (-Wrestrict) about
// "text" + std::string, so the texts are appended instead.
template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string text;
  (text.append(std::string_view(parts)), ...);
  return text;
}

struct Checks {
  int passed = 0;
  int failed = 0;

  bool Expect(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    ++(ok ? passed : failed);
    return ok;
  }
  bool ExpectText(const std::string& seen, const std::string& wanted, const std::string& what) {
    return Expect(seen == wanted, Cat(what, " is \"", seen, "\"",
                                      seen == wanted ? "" : Cat(", wanted \"", wanted, "\"")));
  }
  // The summary line and the exit status of a scenario.
  int Finish(const std::string& scenario) const {
    std::printf("e2e_driver %s: %d passed, %d failed\n", scenario.c_str(), passed, failed);
    return failed == 0 ? 0 : 1;
  }
};

}  // namespace r7700
