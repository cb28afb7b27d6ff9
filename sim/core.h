// The inside of the simulated instrument, shared by its three agents (the
// application, the boot monitor and the downloader). Not part of the
// simulator's public interface.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "sim/boot_sector.h"
#include "sim/instrument.h"
#include "sim/sim_line.h"
#include "sim/sim_memory.h"

namespace r7700::sim {

enum class Agent { kApplication, kMonitor, kDownloader, kStopped };

// The state report stays small whatever the tool sends.
inline constexpr size_t kMaxCommandsKept = 2000;

// Where the downloader stands in the frame it is receiving.
struct DownloaderState {
  enum class Phase { kHunt, kLength, kAddress, kData };
  Phase phase = Phase::kHunt;
  bool to_flash = false;
  int field_bytes = 0;  // bytes of the current 32-bit field received
  uint32_t length = 0;
  uint32_t address = 0;
  uint32_t received = 0;      // data bytes of the block so far
  std::vector<uint8_t> data;  // the block buffer, programmed once the block is complete
  uint8_t xor_value = 0;
  int64_t block = 0;     // which LoadBlock since power-up this is
  bool refused = false;  // the block's range is not writable: data is swallowed
};

struct Core {
  explicit Core(const InstrumentConfig& instrument_config);

  InstrumentConfig config;
  SimMemory memory;
  BootSectorWrites boot_writes;
  SimLine line;
  Agent agent;
  // Input arriving before this moment waits in the receive FIFO or is lost
  // (the agent is busy); see pacing.h.
  int64_t busy_until_us = 0;
  // Time spent working (starting, erasing, summing, programming, changing
  // speed) and time the line carried bytes either way: the floor of a run.
  int64_t busy_us = 0;
  int64_t line_us = 0;
  // Input arriving before this moment is lost (the monitor is starting).
  int64_t deaf_until_us = 0;
  // When each byte now in the receive FIFO is taken out of it.
  std::deque<int64_t> fifo_taken_at_us;
  std::string pending_line;
  bool line_overflow = false;
  std::vector<std::string> commands;  // the first kMaxCommandsKept lines
  int64_t commands_not_kept = 0;
  DownloaderState downloader;
  int banners_to_withhold;
  int checksums_to_withhold;
  int checksums_to_garble;
  bool stale_end_pending;
  int64_t load_blocks = 0;  // LoadBlock frames since power-up
  int64_t received_bytes = 0;
  NoisyDirection noise_to_instrument;
  int64_t input_free_us = 0;  // when the last byte from the PC has arrived
  int64_t latest_us = 0;
  bool rebooted = false;
  int64_t firmware_bytes_programmed = 0;
};

// Replies: CR LF closes every line.
void SayLine(Core& core, std::string_view text, int64_t at_us);
void SayPrompt(Core& core, int64_t at_us);

void RunApplicationCommand(Core& core, const std::string& line, int64_t at_us);
void RunMonitorCommand(Core& core, const std::string& line, int64_t at_us);
void StartDownloader(Core& core, bool to_flash);
void HearDownloaderByte(Core& core, uint8_t byte, int64_t at_us);

}  // namespace r7700::sim
