// Program folders with sample data for the runs under test, each made on
// first use and removed when the test program ends.
#pragma once

#include <string>

namespace r7700::cli {

// Fast enough for a whole firmware transfer in under half a minute, slow
// enough that a busy machine does not run out the line's idle limits.
inline constexpr double kTestTimeScale = 0.05;

// The folders; empty when the sample data could not be written.
const std::string& FullHome();        // product.ini and data/
const std::string& RestrictedHome();  // veskotdr.ini and data/
const std::string& BareHome();        // data/ alone, no settings file

}  // namespace r7700::cli
