#include "languages/language_download.h"

#include <array>
#include <string>

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
  bool damaged = false;  // failed on a wrong acknowledgement
  uint32_t checksum = 0;
  uint32_t sent_bytes = 0;
};

// Streams the image in 1024-byte LoadBlocks; the downloader acknowledges
// each with the XOR of its data, and a block is never sent twice. The image
// file is closed when the transfer ends.
LanguageTransfer TransferImage(RunContext& run, PortHandle port, ImageFile& image,
                               const LanguageMap& map) {
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
    if (ack != expected) {
      LogLine(run.observer, "Transmission error!");
      result.ok = false;
      result.damaged = true;
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
LanguageTransfer TransferSectors(RunContext& run, PortHandle port, const SectorRewrite& rewrite) {
  LanguageTransfer result;
  LogLine(run.observer, "Downloading languages: ");
  result.ok =
      SendSectors(run, port, rewrite, kLanguageBlockBytes, AckRule::kBlockXor, &result.sent_bytes);
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
  kDamaged,            // the checksum or the marker differ; the monitor is in charge
  kDamagedInTransfer,  // a block was acknowledged wrongly; the downloader still runs
  kFailed,
};

// One complete (or, with rewrite, partial) download of the area.
LanguageAttempt AttemptLanguageDownload(RunContext& run, PortHandle port, const LanguageMap& map,
                                        const SectorRewrite* rewrite) {
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
  const LanguageTransfer transfer = rewrite != nullptr ? TransferSectors(run, port, *rewrite)
                                                       : TransferImage(run, port, image, map);
  if (!transfer.ok) {
    return transfer.damaged ? LanguageAttempt::kDamagedInTransfer : LanguageAttempt::kFailed;
  }

  EndTransfer(run, port, FrameRegion::kLanguages);
  run.observer.StageCompleted();
  LogLine(run.observer, "Transferred %ld Bytes\n", static_cast<long>(transfer.sent_bytes));

  int reads = 0;
  const ChecksumReply reply =
      ConfirmAreaChecksum(run, port, map.checksum, transfer.checksum, reads);
  if (reply == ChecksumReply::kWrong) return LanguageAttempt::kDamaged;
  // The prompt waits go on counting the checksum's reads while they stay
  // below 6; every miss is nudged.
  AwaitPromptNudging(port, run.clock, {kLanguageSettleReads - reads, 0});
  bool marked = false;
  if (reply == ChecksumReply::kConfirmed) {
    marked = WriteImageMarker(run, port, map.marker, transfer.checksum, false);
  } else {
    // Without the monitor's checksum nothing proves the area: no marker, and
    // the run must not report success.
    LogLine(run.observer, "Checksum not received!\n");
  }
  LogLine(run.observer, "Language download complete!\n");
  if (marked) return LanguageAttempt::kLoaded;
  return reply == ChecksumReply::kConfirmed ? LanguageAttempt::kDamaged : LanguageAttempt::kFailed;
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
  // The language image is small: a damaged attempt is repaired by writing
  // the whole area again, within the same bound of rounds as the firmware.
  LanguageAttempt attempt = AttemptLanguageDownload(run, port, map, rewrite ? &*rewrite : nullptr);
  for (int round = 1; run.policy.repair && round <= kMaxRepairRounds; ++round) {
    if (attempt == LanguageAttempt::kDamagedInTransfer) {
      EndTransfer(run, port, FrameRegion::kLanguages);
    } else if (attempt != LanguageAttempt::kDamaged) {
      break;
    }
    LogLine(run.observer, "Repair %d: writing the language area again\n", round);
    attempt = AttemptLanguageDownload(run, port, map, nullptr);
  }
  return attempt == LanguageAttempt::kLoaded ? 0 : -1;
}

}  // namespace r7700
