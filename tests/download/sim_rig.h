// The in-process instrument a download test talks to, with its boot monitor
// in charge, and the image files the downloads read.
#pragma once

#include <gtest/gtest.h>
#include <algorithm>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/instrument.h"
#include "tests/dialogue/sim_rig.h"
#include "tests/download/images.h"
#include "tests/download/wire.h"

namespace r7700::test {

inline sim::InstrumentConfig MonitorConfig(sim::Faults faults = {}, bool ram_card = false) {
  sim::InstrumentConfig config;
  config.in_monitor = true;
  config.boots_from_ram_card = ram_card;
  config.faults = faults;
  return config;
}

// The dialogue tests' rig, read back as command lines and frames.
struct SimRig : DialogueRig {
  using DialogueRig::DialogueRig;

  std::vector<WireItem> Wire() const { return ParseWire(backend.sent()); }
  // The data bytes of a LoadBlock as they went out.
  std::vector<uint8_t> DataOf(const WireItem& block) const {
    const auto begin = backend.sent().begin() + static_cast<long>(block.data_offset);
    return {begin, begin + block.length};
  }
};

// A path in the temporary folder that no other test case shares: ctest runs
// the cases in parallel processes, and a shared image file would be
// rewritten under a running download.
inline std::string TestTempPath(const std::string& name) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string tag = std::string(info->test_suite_name()) + "." + info->name();
  std::replace(tag.begin(), tag.end(), '/', '_');
  return ::testing::TempDir() + tag + "-" + name;
}

// Writes bytes to a file under the test's temporary folder; returns its path.
inline std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = TestTempPath(name);
  WriteBytes(path, bytes);
  return path;
}

}  // namespace r7700::test
