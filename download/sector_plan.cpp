#include "download/sector_plan.h"

#include <algorithm>

#include "link/checksum.h"

namespace r7700 {

std::vector<uint16_t> SectorChecksums(const SpanContent& content) {
  std::vector<uint16_t> sums;
  sums.reserve(content.Sectors());
  for (uint32_t sector = 0; sector < content.Sectors(); ++sector) {
    // ChecksumBlock covers length - 1 bytes, as the monitor's "crc" does.
    const uint8_t* start = content.bytes.data() + size_t{sector} * kFlashSectorBytes;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < kFlashSectorBytes; ++i) sum = ChecksumStep(sum, start[i]);
    sums.push_back(static_cast<uint16_t>(sum));
  }
  return sums;
}

uint32_t SectorPlan::Count() const {
  return static_cast<uint32_t>(std::count(rewrite.begin(), rewrite.end(), true));
}

SectorPlan PlanSectors(const std::vector<uint16_t>& expected, const SpanSurvey& survey,
                       uint32_t marker_sector) {
  SectorPlan plan;
  plan.rewrite.assign(expected.size(), true);
  const bool surveyed = survey.sector_checksums.size() == expected.size();
  for (size_t sector = 0; surveyed && sector < expected.size(); ++sector) {
    const std::optional<uint16_t>& found = survey.sector_checksums[sector];
    plan.rewrite[sector] = !found || *found != expected[sector];
  }
  plan.unchanged = surveyed && plan.Count() == 0 && survey.marker_valid && survey.edge_bytes_equal;
  if (!plan.unchanged && marker_sector < plan.rewrite.size()) plan.rewrite[marker_sector] = true;
  return plan;
}

std::vector<SectorRun> SectorRuns(const std::vector<bool>& rewrite) {
  std::vector<SectorRun> runs;
  for (uint32_t sector = 0; sector < rewrite.size(); ++sector) {
    if (!rewrite[sector]) continue;
    if (!runs.empty() && runs.back().first + runs.back().count == sector) {
      ++runs.back().count;
    } else {
      runs.push_back({sector, 1});
    }
  }
  return runs;
}

std::vector<Frame> PlanFrames(const std::vector<bool>& rewrite, uint32_t data_begin,
                              uint32_t data_end, uint32_t block_bytes) {
  std::vector<Frame> frames;
  for (uint32_t sector = 0; sector < rewrite.size(); ++sector) {
    if (!rewrite[sector]) continue;
    const uint32_t start = std::max(sector * kFlashSectorBytes, data_begin);
    const uint32_t end = std::min((sector + 1) * kFlashSectorBytes, data_end);
    for (uint32_t offset = start; offset < end; offset += block_bytes) {
      frames.push_back({offset, std::min(block_bytes, end - offset)});
    }
  }
  return frames;
}

}  // namespace r7700
