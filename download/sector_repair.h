// Repair after a damaged transfer: the monitor's checksum of each suspect
// sector against the image's decides which sectors are erased and written
// again; a bound on rounds and time keeps a line that stays bad from
// holding the run. The instrument's own sums decide every time: nothing is
// taken as repaired that the monitor did not confirm.
#pragma once

#include <cstdint>
#include <vector>

#include "download/sector_rewrite.h"
#include "link/run_context.h"
#include "link/serial_port.h"

namespace r7700 {

// At most this many repair rounds (each a survey, then erase and resend of
// what differs), and no round begins once repair has taken as long as the
// first transfer did, or this long when that was shorter: repair never
// costs much more than one more complete attempt would. A sector is erased
// and sent whole, and at a bit error rate of 1e-6 one in 2.4 comes through
// damaged again (e^-0.52 intact): of the 27 or so a firmware transfer
// damages there, 4 rounds leave one behind about half the time, 8 rounds
// about one time in 50, while the sectors resent shrink each round.
inline constexpr int kMaxRepairRounds = 8;
inline constexpr int64_t kMinRepairSeconds = 600;

struct RepairBudget {
  int rounds = 0;
  uint32_t sectors_written = 0;
  int64_t started_seconds = 0;
  int64_t limit_seconds = kMinRepairSeconds;
  bool Spent(const RunContext& run) const;
};

enum class RepairRound {
  kFailed,          // a step of the dialogue failed (logged); the download ends
  kNothingDiffers,  // every suspect sector holds the image's bytes
  kResent,          // differing sectors were erased and sent again
};

// One round: surveys the suspect sectors (every sector when none is marked
// in suspects), erases and resends those that differ, and ends the
// transfer. suspects comes back with the sectors whose blocks were
// acknowledged wrongly in this round's resend.
RepairRound RunRepairRound(RunContext& run, PortHandle port, SectorRewrite& content,
                           std::vector<bool>& suspects, int full_erase_ticks, uint32_t block_bytes,
                           RepairBudget& budget);

bool AnySector(const std::vector<bool>& sectors);

// The closing line of a download that needed repair (none when no round
// ran): what was tried.
void LogRepairEnd(RunContext& run, const RepairBudget& budget, bool confirmed);

}  // namespace r7700
