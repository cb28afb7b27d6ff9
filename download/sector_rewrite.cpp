#include "download/sector_rewrite.h"

#include <algorithm>
#include <array>

#include "dialogue/command_link.h"
#include "dialogue/monitor_reads.h"
#include "download/flash_programming.h"
#include "link/checksum.h"
#include "link/status_log.h"

namespace r7700 {
namespace {

// The survey only reads, so it may read each answer as soon as it comes:
// nothing is sent before the monitor's prompt says it is ready again.
constexpr uint32_t kSurveyWaitMs = 0;

std::optional<uint16_t> QuerySectorChecksum(RunContext& run, PortHandle port,
                                            const SpanContent& content, uint32_t sector) {
  return QueryMonitorChecksum(run, port, content.base + sector * kFlashSectorBytes,
                              kFlashSectorBytes, kSurveyWaitMs);
}

// The offsets in the span checksum's first and last sector that neither the
// span checksum nor the marker covers (the firmware's byte before its
// marker, the language area's last byte). With these read and every sector
// equal, the span checksum is equal as well, so the survey need not ask it.
std::vector<uint32_t> EdgeBytes(const SpanContent& content, const SpanLayout& layout) {
  const uint32_t begin = layout.checksum_offset;
  const uint32_t end = layout.checksum_offset + layout.checksum_length - 1;
  const auto covered = [&](uint32_t offset) {
    return (offset >= begin && offset < end) ||
           (offset >= layout.marker_offset && offset < layout.marker_offset + kMarkerBytes);
  };
  std::vector<uint32_t> edges;
  for (const uint32_t sector : {begin / kFlashSectorBytes, (end - 1) / kFlashSectorBytes}) {
    const uint32_t first = sector * kFlashSectorBytes;
    const uint32_t last =
        std::min(first + kFlashSectorBytes, content.Sectors() * kFlashSectorBytes);
    for (uint32_t offset = first; offset < last; ++offset) {
      if (!covered(offset) && std::find(edges.begin(), edges.end(), offset) == edges.end()) {
        edges.push_back(offset);
      }
    }
  }
  return edges;
}

// Reads the marker and the edge bytes and has the monitor checksum every
// sector, then plans. What the monitor does not answer counts as differing.
void SurveySpan(RunContext& run, PortHandle port, SectorRewrite& rewrite) {
  const SpanContent& content = rewrite.content;
  const SpanLayout& layout = rewrite.layout;
  SpanSurvey survey;
  MarkerBytes found{};
  // Valid means what the instrument itself checks at boot: "J", "S" and
  // the checksum of the image to be loaded.
  const MarkerBytes marker = ImageMarker(rewrite.checksum);
  survey.marker_valid = ReadMonitorMemory(run, port, content.base + layout.marker_offset,
                                          found.data(), found.size()) &&
                        found == marker;
  for (uint32_t sector = 0; sector < content.Sectors(); ++sector) {
    survey.sector_checksums.push_back(QuerySectorChecksum(run, port, content, sector));
  }
  survey.edge_bytes_equal = true;
  for (const uint32_t offset : EdgeBytes(content, layout)) {
    uint8_t held = 0;
    survey.edge_bytes_equal = survey.edge_bytes_equal &&
                              ReadMonitorMemory(run, port, content.base + offset, &held, 1) &&
                              held == content.bytes[offset];
  }
  const uint32_t marker_sector = layout.marker_offset / kFlashSectorBytes;
  rewrite.plan = PlanSectors(SectorChecksums(content), survey, marker_sector);
}

void LogPlan(RunContext& run, const SectorRewrite& rewrite, const char* what) {
  if (rewrite.plan.unchanged) {
    LogLine(run.observer, "%s unchanged, not downloaded!\n", what);
    return;
  }
  LogLine(run.observer, "%s: writing %u of %u sectors again\n", what,
          static_cast<unsigned>(rewrite.plan.Count()),
          static_cast<unsigned>(rewrite.content.Sectors()));
}

}  // namespace

void SealContent(SectorRewrite& rewrite) {
  const SpanLayout& layout = rewrite.layout;
  std::vector<uint8_t>& bytes = rewrite.content.bytes;
  rewrite.checksum = ChecksumBlock(bytes.data() + layout.checksum_offset, layout.checksum_length);
  const MarkerBytes marker = ImageMarker(rewrite.checksum);
  for (uint32_t i = 0; i < marker.size(); ++i) bytes[layout.marker_offset + i] &= marker[i];
}

std::vector<bool> SurveySectors(RunContext& run, PortHandle port, const SectorRewrite& rewrite,
                                const std::vector<bool>& candidates) {
  const SpanContent& content = rewrite.content;
  const std::vector<uint16_t> expected = SectorChecksums(content);
  std::vector<bool> differing(content.Sectors(), false);
  for (uint32_t sector = 0; sector < content.Sectors(); ++sector) {
    if (!candidates.empty() && !candidates[sector]) continue;
    const std::optional<uint16_t> found = QuerySectorChecksum(run, port, content, sector);
    differing[sector] = !found || *found != expected[sector];
  }
  return differing;
}

void MarkSectors(std::vector<bool>& damaged, uint32_t offset, uint32_t length) {
  if (length == 0) return;
  const uint32_t last = (offset + length - 1) / kFlashSectorBytes;
  for (uint32_t sector = offset / kFlashSectorBytes; sector <= last && sector < damaged.size();
       ++sector) {
    damaged[sector] = true;
  }
}

std::optional<SectorRewrite> PlanRewrite(RunContext& run, PortHandle port, SectorRewrite rewrite,
                                         const char* what) {
  SealContent(rewrite);
  SurveySpan(run, port, rewrite);
  LogPlan(run, rewrite, what);
  if (rewrite.plan.Count() == rewrite.content.Sectors()) return {};
  return rewrite;
}

bool EraseSectors(RunContext& run, PortHandle port, const SectorRewrite& rewrite,
                  int full_erase_ticks) {
  const uint32_t sectors = rewrite.content.Sectors();
  for (const SectorRun& sectors_run : SectorRuns(rewrite.plan.rewrite)) {
    SendErase(run, port, rewrite.content.base + sectors_run.first * kFlashSectorBytes,
              sectors_run.count * kFlashSectorBytes);
    // The whole span's wait shared out by sectors, rounded up.
    const auto ticks = static_cast<int>(
        (uint64_t{sectors_run.count} * static_cast<uint32_t>(full_erase_ticks) + sectors - 1) /
        sectors);
    if (!WaitOutErase(run, port, std::max(ticks, 1))) return false;
  }
  return true;
}

bool SendSectors(RunContext& run, PortHandle port, const SectorRewrite& rewrite,
                 uint32_t block_bytes, AckRule rule, uint32_t* sent_bytes,
                 std::vector<bool>* damaged) {
  const std::vector<Frame> frames = PlanFrames(rewrite.plan.rewrite, rewrite.layout.data_begin,
                                               rewrite.layout.data_end, block_bytes);
  int32_t total = 0;
  for (const Frame& frame : frames) total += static_cast<int32_t>(frame.length);
  SetProgressCaption(run.observer, TransferStage(rewrite.region), "Bytes transferred:");
  ShowProgress(run.observer, run.progress, 0, total, ProgressUnit::kBytes);
  *sent_bytes = 0;
  for (const Frame& frame : frames) {
    const uint8_t* data = rewrite.content.bytes.data() + frame.offset;
    SendBlock(run, port, data, frame.length, rewrite.content.base + frame.offset);
    uint8_t ack = 0;
    if (!AwaitBlockAck(run, port,
                       {rewrite.region, rewrite.content.base + frame.offset, frame.length, {}},
                       &ack)) {
      LogLine(run.observer, "Board does not repsond!");
      return false;
    }
    const bool wrong_ack = ack != BlockXor(data, frame.length);
    if (damaged != nullptr && wrong_ack) {
      MarkSectors(*damaged, frame.offset, frame.length);
    } else if (rule == AckRule::kBlockXor && wrong_ack) {
      LogLine(run.observer, "Transmission error!");
      return false;
    }
    ShowProgress(run.observer, run.progress, static_cast<int32_t>(frame.length), total,
                 ProgressUnit::kBytes);
    *sent_bytes += frame.length;
  }
  return true;
}

}  // namespace r7700
