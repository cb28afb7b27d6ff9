// r7700-sim: the simulated instrument on a pseudo-terminal.
#include <cstdio>
#include <string>
#include <vector>

#include "link/clock.h"
#include "sim/pty_server.h"
#include "sim/sim_options.h"

int main(int argc, char** argv) {
  using namespace r7700;
  std::string problem;
  const double default_scale = TimeScaleFromEnvironment(&problem);
  if (!problem.empty()) std::fprintf(stderr, "r7700-sim: %s\n", problem.c_str());
  sim::SimOptions options;
  if (!sim::ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), default_scale,
                            &options, &problem)) {
    std::fprintf(stderr, "r7700-sim: %s\n%s", problem.c_str(), sim::kSimUsage);
    return 64;
  }
  if (options.help) {
    std::fputs(sim::kSimUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::puts("r7700-sim " R7700_VERSION);
    return 0;
  }
  return sim::ServeOnPty(options);
}
