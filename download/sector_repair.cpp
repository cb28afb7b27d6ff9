#include "download/sector_repair.h"

#include <algorithm>

#include "download/flash_programming.h"
#include "link/status_log.h"

namespace r7700 {

bool RepairBudget::Spent(const RunContext& run) const {
  return rounds >= kMaxRepairRounds ||
         run.clock.CalendarSeconds() - started_seconds >= limit_seconds;
}

bool AnySector(const std::vector<bool>& sectors) {
  return std::find(sectors.begin(), sectors.end(), true) != sectors.end();
}

void LogRepairEnd(RunContext& run, const RepairBudget& budget, bool confirmed) {
  if (budget.rounds == 0) return;
  LogLine(run.observer, "Repair: %d rounds, %u sectors written again, %s\n", budget.rounds,
          static_cast<unsigned>(budget.sectors_written),
          confirmed ? "confirmed" : "not confirmed!");
}

RepairRound RunRepairRound(RunContext& run, PortHandle port, SectorRewrite& content,
                           std::vector<bool>& suspects, int full_erase_ticks, uint32_t block_bytes,
                           RepairBudget& budget) {
  ++budget.rounds;
  const bool every_sector = !AnySector(suspects);
  content.plan.rewrite =
      SurveySectors(run, port, content, every_sector ? std::vector<bool>{} : suspects);
  suspects.assign(suspects.size(), false);
  const uint32_t count = content.plan.Count();
  if (count == 0) return RepairRound::kNothingDiffers;
  LogLine(run.observer, "Repair %d: writing %u of %u sectors again\n", budget.rounds,
          static_cast<unsigned>(count), static_cast<unsigned>(content.content.Sectors()));
  SetProgressCaption(run.observer, EraseStage(content.region), "Erasing ...");
  if (!EraseSectors(run, port, content, full_erase_ticks)) return RepairRound::kFailed;
  ReplyLine last;
  if (!StartDownloader(run, port, last)) {
    LogLine(run.observer, "got NO VQ...%s\n", last.c_str());
    return RepairRound::kFailed;
  }
  uint32_t sent = 0;
  if (!SendSectors(run, port, content, block_bytes, AckRule::kAnyByte, &sent, &suspects)) {
    return RepairRound::kFailed;
  }
  EndTransfer(run, port, content.region);
  budget.sectors_written += count;
  return RepairRound::kResent;
}

}  // namespace r7700
