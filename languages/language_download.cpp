#include "languages/language_download.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "dialogue/command_link.h"
#include "download/flash_programming.h"
#include "download/instrument_pacing.h"
#include "download/sector_repair.h"
#include "languages/language_rewrite.h"
#include "link/checksum.h"
#include "link/status_log.h"

namespace r7700 {
namespace {

struct LanguageTransfer {
  bool ok = true;
  uint32_t checksum = 0;
  uint32_t sent_bytes = 0;
};

// Streams the image in 1024-byte LoadBlocks; the downloader acknowledges
// each with the XOR of its data, and a block is never sent twice. A wrong
// acknowledgement ends the transfer, or with damaged marks the block's
// sector there and the transfer goes on. The image file is closed when the
// transfer ends.
LanguageTransfer TransferImage(RunContext& run, PortHandle port, ImageFile& image,
                               const LanguageMap& map, std::vector<bool>* damaged) {
  LanguageTransfer result;
  LogLine(run.observer, "Downloading languages: ");
  uint32_t address = map.image.base;
  const auto image_bytes = static_cast<int32_t>(image.Size());
  SetProgressCaption(run.observer, RunStage::kLanguageTransfer, "Bytes transferred:");
  ShowProgress(run.observer, run.progress, 0, image_bytes, ProgressUnit::kBytes);
  ShortPause(run.clock);
  std::array<uint8_t, kLanguageBlockBytes> block;
  for (uint32_t n = image.Read(block.data(), kLanguageBlockBytes); n > 0;
       n = image.Read(block.data(), kLanguageBlockBytes)) {
    SendBlock(run, port, block.data(), n, address);
    ShowProgress(run.observer, run.progress, static_cast<int32_t>(n), image_bytes,
                 ProgressUnit::kBytes);
    const uint8_t expected = BlockXor(block.data(), n);
    uint8_t ack = 0;
    if (!AwaitBlockAck(run, port, {FrameRegion::kLanguages, address, n, {}}, &ack)) {
      LogLine(run.observer, "Board does not repsond!");
      result.ok = false;
      return result;
    }
    if (ack != expected && damaged != nullptr) {
      MarkSectors(*damaged, address - map.area.base, n);
    } else if (ack != expected) {
      LogLine(run.observer, "Transmission error!");
      result.ok = false;
      return result;
    }
    // The monitor's checksum stops one byte short of the area's end, so the
    // last byte of an image that fills the area is programmed but not folded.
    const uint32_t checksummed = BytesBelow(result.sent_bytes, n, map.checksum.bytes);
    for (uint32_t i = 0; i < checksummed; ++i) {
      result.checksum = ChecksumStep(result.checksum, block[i]);
    }
    result.sent_bytes += n;
    address += n;
  }
  image.Close();
  ShortPause(run.clock);
  // The rest of the span is erased flash that the image does not reach.
  for (uint32_t i = result.sent_bytes; i < map.checksum.bytes; ++i) {
    result.checksum = ChecksumStep(result.checksum, kErasedFlashByte);
  }
  return result;
}

// Sends only the planned sectors, from the image as the survey read it.
LanguageTransfer TransferSectors(RunContext& run, PortHandle port, const SectorRewrite& rewrite,
                                 std::vector<bool>* damaged) {
  LanguageTransfer result;
  LogLine(run.observer, "Downloading languages: ");
  result.ok = SendSectors(run, port, rewrite, kLanguageBlockBytes, AckRule::kBlockXor,
                          &result.sent_bytes, damaged);
  result.checksum = rewrite.checksum;
  return result;
}

// Asks the monitor for the checksum of the area behind the marker and
// compares it. reads counts the line reads; the prompt waits after it go on
// with the same count.
ChecksumReply ConfirmAreaChecksum(RunContext& run, PortHandle port, const FlashSpan& span,
                                  uint32_t checksum, int& reads) {
  std::string command;
  SendRegionChecksumQuery(run, port, span, command);
  PauseForReply(run, kLanguageChecksumWaitMs);
  int requeries = 0;
  ReplyLine line;
  reads = 0;
  while (reads < kLanguageChecksumReads) {
    ++reads;
    const int32_t result = ReadReply(port, line);
    if (result == -1) port->ClearError();
    if (result <= 0) continue;
    if (line.BeginsWith(MonitorPrompt)) {
      if (requeries == kMaxChecksumRequeries) return ChecksumReply::kMissing;
      ++requeries;
      SendRegionChecksumQuery(run, port, span, command);
      PauseForReply(run, kLanguageChecksumWaitMs);
      reads = 1;
      continue;
    }
    if (reads >= kLanguageNudgeFromRead) {
      SendText(port, Nudge);
      ShortPause(run.clock);
      continue;
    }
    const ChecksumReply verdict = JudgeChecksumLine(run, line, checksum, "Checksum is wrong!\n");
    if (verdict != ChecksumReply::kMissing) return verdict;
  }
  return ChecksumReply::kMissing;
}

enum class LanguageAttempt {
  kLoaded,
  kDamaged,     // the checksum or the marker differ, or blocks were acknowledged wrongly
  kNoChecksum,  // no value came; nothing is known of the area
  kFailed,
};

// The area checksum, the settling prompt and the marker that end every
// attempt. A marker that does not read back marks its sector in damaged.
LanguageAttempt ConfirmLanguageArea(RunContext& run, PortHandle port, const LanguageMap& map,
                                    uint32_t checksum, std::vector<bool>* damaged) {
  int reads = 0;
  const ChecksumReply reply = ConfirmAreaChecksum(run, port, map.checksum, checksum, reads);
  if (reply == ChecksumReply::kWrong) return LanguageAttempt::kDamaged;
  // The prompt waits go on counting the checksum's reads while they stay
  // below 6; every miss is nudged.
  AwaitPromptNudging(port, run.clock, {kLanguageSettleReads - reads, 0});
  bool marked = false;
  if (reply == ChecksumReply::kConfirmed) {
    marked = WriteImageMarker(run, port, map.marker, checksum, false);
  } else {
    // Without the monitor's checksum nothing proves the area: no marker, and
    // the run must not report success.
    LogLine(run.observer, "Checksum not received!\n");
  }
  LogLine(run.observer, "Language download complete!\n");
  if (marked) return LanguageAttempt::kLoaded;
  if (reply != ChecksumReply::kConfirmed) return LanguageAttempt::kNoChecksum;
  if (damaged != nullptr) MarkSectors(*damaged, map.marker - map.area.base, kMarkerBytes);
  return LanguageAttempt::kDamaged;
}

// One complete (or, with rewrite, partial) download of the area. With
// damaged, blocks acknowledged wrongly mark their sectors there and the
// checksum is not asked: it would only be wrong.
LanguageAttempt AttemptLanguageDownload(RunContext& run, PortHandle port, const LanguageMap& map,
                                        const SectorRewrite* rewrite, std::vector<bool>* damaged) {
  ImageFile image(run.language_image_path);
  LogLine(run.observer, "Erasing languages ...\n");
  if (!ClearImageMarker(run, port, map.marker, kLanguageMarkerExtraPauseMs)) {
    return LanguageAttempt::kFailed;
  }
  SetProgressCaption(run.observer, RunStage::kLanguageErase, "Erasing ...");
  if (rewrite != nullptr) {
    if (!EraseSectors(run, port, *rewrite, kLanguageEraseTicks)) return LanguageAttempt::kFailed;
  } else {
    SendErase(run, port, map.area.base, map.area.bytes);
    if (!WaitOutErase(run, port, kLanguageEraseTicks)) return LanguageAttempt::kFailed;
  }
  LogLine(run.observer, "Erased !\n");

  ReplyLine last;
  if (!StartDownloader(run, port, last)) {
    LogLine(run.observer, "Cannot initialize download!\n");
    return LanguageAttempt::kFailed;
  }
  const LanguageTransfer transfer = rewrite != nullptr
                                        ? TransferSectors(run, port, *rewrite, damaged)
                                        : TransferImage(run, port, image, map, damaged);
  if (!transfer.ok) return LanguageAttempt::kFailed;

  EndTransfer(run, port, FrameRegion::kLanguages);
  run.observer.StageCompleted();
  LogLine(run.observer, "Transferred %ld Bytes\n", static_cast<long>(transfer.sent_bytes));
  if (damaged != nullptr && AnySector(*damaged)) return LanguageAttempt::kDamaged;
  return ConfirmLanguageArea(run, port, map, transfer.checksum, damaged);
}

// After a damaged attempt: the sectors acknowledged wrongly (every sector
// when the checksum was wrong or did not come) surveyed, those that differ
// erased and written again, then the checksum and the marker, within the
// budget. The monitor's checksum decides as in any attempt.
LanguageAttempt RepairLanguageArea(RunContext& run, PortHandle port, const LanguageMap& map,
                                   LanguageAttempt attempt, std::vector<bool>& damaged) {
  std::optional<SectorRewrite> content = LanguageContent(run, map);
  if (!content) return LanguageAttempt::kFailed;
  RepairBudget budget{.started_seconds = run.clock.CalendarSeconds()};
  while ((attempt == LanguageAttempt::kDamaged || attempt == LanguageAttempt::kNoChecksum) &&
         !budget.Spent(run)) {
    const bool every_sector = !AnySector(damaged);
    const RepairRound round = RunRepairRound(run, port, *content, damaged, kLanguageEraseTicks,
                                             kLanguageBlockBytes, budget);
    if (round == RepairRound::kFailed) return LanguageAttempt::kFailed;
    // The sums disagree with no sector to blame: nothing to repair.
    if (round == RepairRound::kNothingDiffers && every_sector &&
        attempt == LanguageAttempt::kDamaged) {
      break;
    }
    attempt = AnySector(damaged) ? LanguageAttempt::kDamaged
                                 : ConfirmLanguageArea(run, port, map, content->checksum, &damaged);
  }
  LogRepairEnd(run, budget, attempt == LanguageAttempt::kLoaded);
  return attempt;
}

}  // namespace

int DownloadLanguageImage(RunContext& run, PortHandle port) {
  if (!ImageFile(run.language_image_path).is_open()) {
    LogLine(run.observer, "File %s not found!\n", run.language_image_path.c_str());
    return -1;
  }
  const LanguageMap map = LayoutFor(run.options).languages;

  std::optional<SectorRewrite> rewrite;
  if (run.policy.skip_unchanged) {
    rewrite = PlanLanguageRewrite(run, port, map);
    if (rewrite && rewrite->plan.unchanged) {
      run.languages_unchanged = true;
      return 0;
    }
  }
  std::vector<bool> damaged(map.area.bytes / kFlashSectorBytes, false);
  std::vector<bool>* compared = run.policy.repair ? &damaged : nullptr;
  LanguageAttempt attempt =
      AttemptLanguageDownload(run, port, map, rewrite ? &*rewrite : nullptr, compared);
  if (run.policy.repair && attempt != LanguageAttempt::kLoaded &&
      attempt != LanguageAttempt::kFailed) {
    attempt = RepairLanguageArea(run, port, map, attempt, damaged);
  }
  return attempt == LanguageAttempt::kLoaded ? 0 : -1;
}

}  // namespace r7700
