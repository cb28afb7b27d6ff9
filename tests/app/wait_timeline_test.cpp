// The dialogue's waits, read off a whole run on the virtual clock: the time
// from the end of each thing the tool sends to the start of the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/resources/resource.h"
#include "app/update_run.h"
#include "tests/app/run_rig.h"

namespace r7700 {
namespace {

using test::RunRig;
using test::TimedWrite;

// A command line, "LoadBlock" or "EndBlock"; writes that follow each other
// without a pause (a frame's start byte, words and data) are one event.
struct Event {
  std::string label;
  int64_t start_us;
  int64_t end_us;
};

std::string Label(const std::string& bytes) {
  if (bytes == std::string("J\0\0\0\0", 5)) return "EndBlock";
  if (bytes.size() > 9 && bytes[0] == 'J') return "LoadBlock";
  if (bytes.ends_with('\n')) return bytes.substr(0, bytes.size() - 1);
  return "?";
}

std::vector<Event> Events(const std::vector<TimedWrite>& writes) {
  std::vector<Event> events;
  std::string bytes;
  for (size_t i = 0; i < writes.size(); ++i) {
    if (bytes.empty()) events.push_back({"", writes[i].start_us, 0});
    bytes += writes[i].bytes;
    if (i + 1 == writes.size() || writes[i + 1].start_us != writes[i].end_us) {
      events.back().label = Label(bytes);
      events.back().end_us = writes[i].end_us;
      bytes.clear();
    }
  }
  return events;
}

constexpr int kEvery = -1;
constexpr int64_t kSlackMs = 50;  // line time of replies already waiting, read at once

struct Wait {
  const char* from;
  const char* to;
  int nth;  // which occurrence of the pair, or kEvery
  int64_t wait_ms;
  int64_t extra_ms = kSlackMs;  // the instrument's own time on top of the wait
};

// Full run at 115200 baud: firmware with boot sector and user flash, then
// the languages.
const Wait kWaits[] = {
    {"*idn?", "*idn?", kEvery, 400},
    {"*idn?", "stat:pow:acdc?", 0, 400},
    {"stat:pow:acdc?", "stat:pow:acdc?", kEvery, 400},
    {"stat:pow:acdc?", "S27413:B5D08A9C3E1", 0, 400},
    {"S27413:B5D08A9C3E1", "baud 115200", 0, 400, 900},  // the monitor starts in 1.2 s
    {"baud 115200", "", 0, 2000},                        // 1000 ms, PC speed, 1000 ms
    {"ver", "enh", 0, 200},
    {"enh", "sec_enh", 0, 200},
    {"sec_enh", "ramload", 0, 200},
    {"ramload", "LoadBlock", 0, 800},
    {"LoadBlock", "EndBlock", 0, 600},  // the test load: 200 + 400 ms before the ack
    {"EndBlock", "crc 840000 2800", 0, 200},
    {"crc 840000 2800", "dm 840000", 0, 1200},
    {"dm 840000", "dm 840010", 0, 200},
    {"pf 3fefffc 0", "pf 3fefffd 0", 0, 800},
    {"pf 3fefffd 0", "erase 3c00000 400000 10000", 0, 800},
    {"erase 3c00000 400000 10000", "erase 3800000 300000 10000", 0, 200 + 60 * 800},
    {"erase 3800000 300000 10000", "flashload", 0, 200 + 60 * 800},
    {"flashload", "LoadBlock", 0, 200},
    {"LoadBlock", "LoadBlock", kEvery, 200},
    {"LoadBlock", "EndBlock", 1, 200},
    {"EndBlock", "crc 3c00000 3efffc", 0, 200},
    {"crc 3c00000 3efffc", "pf 3fefffc 4a", 0, 200 + 24 * 400},
    {"pf 3fefffc 4a", "pf 3fefffd 53", 0, 0},
    {"pf 3b00000 0", "pf 3b00001 0", 0, 200 + 800},
    {"pf 3b00001 0", "erase 3b00000 100000 10000", 0, 800},
    {"erase 3b00000 100000 10000", "flashload", 0, 200 + 20 * 800},
    {"flashload", "LoadBlock", 1, 200 + 200},
    {"LoadBlock", "EndBlock", 2, 200 + 200},  // the last block's pause, then the end's
    {"EndBlock", "crc 3b00004 ffffc", 0, 200},
    {"crc 3b00004 ffffc", "pf 3b00000 4a", 0, 200 + 5200},
    {"pf 3b00000 4a", "pf 3b00001 53", 0, 0},
};

TEST(UpdateRunTimeline, EveryWaitOfTheDialogueIsKept) {
  RunRig rig;
  rig.window.ListSelect(IDC_BAUD_LIST, 4);
  for (int box : {IDC_DOWNLOAD_FIRMWARE, IDC_DOWNLOAD_BOOT_SECTOR, IDC_ERASE_USER_FLASH,
                  IDC_DOWNLOAD_LANGUAGES}) {
    rig.window.SetChecked(box, true);
  }
  // As a real image: erased flash between the data and the boot sector, so
  // the marker can be programmed over it.
  std::string firmware = test::FirmwareBytes();
  std::fill(firmware.begin() + 0x3EFFFB, firmware.begin() + 0x3F0000, '\xFF');
  rig.folder.WriteData("vqvesk.bin", test::Masked(firmware));
  ASSERT_EQ(rig.Run(), kRunSucceeded) << rig.Log();

  const std::vector<Event> events = Events(rig.cable.writes);
  std::map<std::pair<std::string, std::string>, int> seen;
  std::vector<bool> used(std::size(kWaits));
  for (size_t i = 0; i + 1 < events.size(); ++i) {
    const Event& from = events[i];
    const Event& to = events[i + 1];
    const int nth = seen[{from.label, to.label}]++;
    for (size_t w = 0; w < std::size(kWaits); ++w) {
      const Wait& wait = kWaits[w];
      if (from.label != wait.from || to.label != wait.to) continue;
      if (wait.nth != kEvery && wait.nth != nth) continue;
      const int64_t gap_ms = (to.start_us - from.end_us) / 1000;
      EXPECT_GE(gap_ms, wait.wait_ms) << from.label << " -> " << to.label << " #" << nth;
      EXPECT_LE(gap_ms, wait.wait_ms + wait.extra_ms)
          << from.label << " -> " << to.label << " #" << nth;
      used[w] = true;
      break;
    }
  }
  for (size_t w = 0; w < std::size(kWaits); ++w) {
    EXPECT_TRUE(used[w]) << "never seen: " << kWaits[w].from << " -> " << kWaits[w].to << " #"
                         << kWaits[w].nth;
  }
}

}  // namespace
}  // namespace r7700
