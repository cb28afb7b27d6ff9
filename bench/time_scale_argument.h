// The --time-scale=F argument the Google Benchmark programs take beside the
// library's own arguments.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include "link/clock.h"

namespace r7700 {

// Takes the first --time-scale=F out of argv (so the benchmark library does
// not see it) into scale. False, with a line on stderr naming program, when F
// is not a valid time scale.
inline bool TakeTimeScaleArgument(int& argc, char** argv, const char* program, double* scale) {
  static constexpr const char* kFlag = "--time-scale=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kFlag, std::strlen(kFlag)) != 0) continue;
    std::string problem;
    *scale = ParseTimeScale(argv[i] + std::strlen(kFlag), &problem);
    if (!problem.empty()) {
      std::fprintf(stderr, "%s: %s\n", program, problem.c_str());
      return false;
    }
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
    break;
  }
  return true;
}

}  // namespace r7700
