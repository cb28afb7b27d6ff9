#include "download/firmware_download.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dialogue/command_link.h"
#include "dialogue/monitor_reads.h"
#include "download/firmware_rewrite.h"
#include "download/flash_programming.h"
#include "download/instrument_pacing.h"
#include "download/sector_repair.h"
#include "link/checksum.h"
#include "link/status_log.h"
#include "link/text_format.h"

namespace r7700 {
namespace {

struct FirmwareTransfer {
  bool acknowledged = true;
  uint32_t checksum = 0;
  long shown_bytes = 0;
  int64_t seconds = 0;
};

bool EraseFirmwareRegion(RunContext& run, PortHandle port, const FirmwareMap& map) {
  SendErase(run, port, map.erase.base, map.erase.bytes);
  SetProgressCaption(run.observer, RunStage::kFirmwareErase, "Erasing ...");
  if (!WaitOutErase(run, port, kFirmwareEraseTicks)) return false;
  LogLine(run.observer, "Erased !\n");
  return true;
}

bool EraseUserFlash(RunContext& run, PortHandle port, const FirmwareMap& map) {
  SetProgressCaption(run.observer, RunStage::kUserFlashErase, "Erasing UserFlash ...");
  SendErase(run, port, map.user_flash.base, map.user_flash.bytes);
  if (!WaitOutErase(run, port, kFirmwareEraseTicks)) return false;
  LogLine(run.observer, "Erased UserFlash!\n");
  return true;
}

// What the span checksum does not cover when the boot sector is sent: the
// boot sector (its own checksum against the image's) and the byte before
// the marker (read back). An image that does not reach the region's end
// has no boot sector to send, and fails.
bool ConfirmBeyondSpan(RunContext& run, PortHandle port, const FirmwareMap& map,
                       const std::vector<uint8_t>& image, const SectorRewrite& content) {
  const uint32_t boot_offset = map.boot_sector.base - map.region.base;
  if (image.size() >= map.region.bytes) {
    const std::optional<uint16_t> value = QueryMonitorChecksum(
        run, port, map.boot_sector.base, map.boot_sector.bytes, kBootSectorChecksumWaitMs);
    const uint32_t expected = ChecksumBlock(image.data() + boot_offset, map.boot_sector.bytes + 1);
    if (!value || *value != expected) {
      LogLine(run.observer, "Boot sector not confirmed!\n");
      return false;
    }
  } else {
    LogLine(run.observer, "Boot sector not confirmed!\n");
    return false;
  }
  uint8_t gap = 0;
  const uint32_t gap_offset = map.gap.base - map.region.base;
  if (ReadMonitorMemory(run, port, map.gap.base, &gap, map.gap.bytes) &&
      gap == content.content.bytes[gap_offset]) {
    return true;
  }
  LogLine(run.observer, "Byte %lX not confirmed!\n", static_cast<unsigned long>(map.gap.base));
  return false;
}

// Streams the image in LoadBlocks from the bytes read at the start, folding
// the bytes below the data limit into the running checksum. With damaged,
// every acknowledgement is compared with the block's XOR.
FirmwareTransfer TransferImage(RunContext& run, PortHandle port, const std::vector<uint8_t>& image,
                               const FirmwareMap& map, std::vector<bool>* damaged) {
  FirmwareTransfer result;
  LogLine(run.observer, "Downloading:");
  const auto file_bytes = static_cast<long>(image.size());
  result.shown_bytes = map.keep_boot_sector ? file_bytes - long{kBootSectorBytes} : file_bytes;
  const auto shown_total = static_cast<int32_t>(result.shown_bytes);
  SetProgressCaption(run.observer, RunStage::kFirmwareTransfer, "Bytes transferred:");
  ShowProgress(run.observer, run.progress, 0, shown_total, ProgressUnit::kBytes);
  const int64_t started = run.clock.CalendarSeconds();
  const auto end = static_cast<uint32_t>(std::min<size_t>(image.size(), map.send.bytes));
  for (uint32_t offset = 0; offset < end; offset += kFirmwareBlockBytes) {
    const uint32_t address = map.region.base + offset;
    const uint8_t* block = image.data() + offset;
    const uint32_t send_length = std::min(kFirmwareBlockBytes, end - offset);
    const uint32_t checksummed = BytesBelow(address, send_length, map.checksum.End());
    SendBlock(run, port, block, send_length, address);
    uint8_t ack = 0;
    // Without damaged any byte acknowledges a firmware block.
    if (!AwaitBlockAck(run, port, {FrameRegion::kFirmware, address, send_length, {}}, &ack)) {
      LogLine(run.observer, "Board does not repsond!");
      result.acknowledged = false;
      return result;
    }
    if (damaged != nullptr && ack != BlockXor(block, send_length)) {
      MarkSectors(*damaged, offset, send_length);
    }
    ShowProgress(run.observer, run.progress, static_cast<int32_t>(send_length), shown_total,
                 ProgressUnit::kBytes);
    for (uint32_t i = 0; i < checksummed; ++i) {
      result.checksum = ChecksumStep(result.checksum, block[i]);
    }
  }
  result.seconds = run.clock.CalendarSeconds() - started;
  return result;
}

// Sends only the planned sectors, from the image as read at the start.
FirmwareTransfer TransferSectors(RunContext& run, PortHandle port, const SectorRewrite& rewrite,
                                 std::vector<bool>* damaged) {
  FirmwareTransfer result;
  LogLine(run.observer, "Downloading:");
  const int64_t started = run.clock.CalendarSeconds();
  uint32_t sent = 0;
  result.acknowledged =
      SendSectors(run, port, rewrite, kFirmwareBlockBytes, AckRule::kAnyByte, &sent, damaged);
  result.checksum = rewrite.checksum;
  result.shown_bytes = sent;
  result.seconds = run.clock.CalendarSeconds() - started;
  return result;
}

// Asks the monitor for the checksum of the data span and compares it. A
// prompt in place of the value repeats the query with a longer wait; after
// ten reads an empty line every other read is answered with a nudge.
ChecksumReply ConfirmRegionChecksum(RunContext& run, PortHandle port, const FlashSpan& span,
                                    uint32_t checksum) {
  std::string command;
  SendRegionChecksumQuery(run, port, span, command);
  int wait_factor = kChecksumWaitFactor;
  PauseForReply(run, static_cast<uint32_t>(wait_factor) * kChecksumWaitUnitMs);
  int requeries = 0;
  ReplyLine line;
  int reads = 0;
  while (reads < kFirmwareChecksumReads) {
    ++reads;
    if (ReadReply(port, line) == -1) continue;
    if (line.BeginsWith(MonitorPrompt)) {
      if (requeries == kMaxChecksumRequeries) {
        LogLine(run.observer, "Checksum not received!\n");
        return ChecksumReply::kMissing;
      }
      ++requeries;
      SendRegionChecksumQuery(run, port, span, command);
      wait_factor += kChecksumWaitFactorStep;
      LogLine(run.observer, "redo4 cmd %s (to %d)", command.c_str(), wait_factor);
      PauseForReply(run, static_cast<uint32_t>(wait_factor) * kChecksumWaitUnitMs);
      reads = 1;
      continue;
    }
    if (reads > kChecksumTriggerAfterReads && line.view().empty()) {
      if ((reads - kChecksumTriggerAfterReads) % 2 == 1) {
        LogLine(run.observer, "trigger %d\n", reads);
        SendText(port, Nudge);
        ShortPause(run.clock);
      }
      continue;
    }
    const ChecksumReply verdict = JudgeChecksumLine(run, line, checksum, "Checksum is wrong!!!\n");
    if (verdict != ChecksumReply::kMissing) return verdict;
  }
  return ChecksumReply::kMissing;
}

// The span checksum, the marker and what lies beyond the span, as the
// download specifies them; with repair, whatever fails is surveyed and
// written again within the budget before the download gives up. damaged
// holds the sectors whose blocks were acknowledged wrongly.
int ConfirmFirmware(RunContext& run, PortHandle port, const FirmwareMap& map,
                    const std::vector<uint8_t>& image, SectorRewrite& content,
                    const FirmwareTransfer& transfer, std::vector<bool>& damaged) {
  const uint32_t checksum = transfer.checksum;
  RepairBudget budget{.started_seconds = run.clock.CalendarSeconds(),
                      .limit_seconds = std::max(kMinRepairSeconds, transfer.seconds)};
  const auto repair_round = [&] {
    return RunRepairRound(run, port, content, damaged, kFirmwareEraseTicks, kFirmwareBlockBytes,
                          budget);
  };
  // A known damaged block makes the span checksum wrong: it is asked after the repair.
  ChecksumReply reply = AnySector(damaged)
                            ? ChecksumReply::kWrong
                            : ConfirmRegionChecksum(run, port, map.checksum, checksum);
  for (;;) {
    while (run.policy.repair && reply != ChecksumReply::kConfirmed && !budget.Spent(run)) {
      const bool every_sector = !AnySector(damaged);
      // A garbled or lost reply is asked for again before anything is surveyed.
      const RepairRound round = reply == ChecksumReply::kMissing && every_sector
                                    ? RepairRound::kNothingDiffers
                                    : repair_round();
      if (round == RepairRound::kFailed) return -1;
      if (round == RepairRound::kNothingDiffers && every_sector && reply == ChecksumReply::kWrong) {
        break;  // the sums disagree with no sector to blame: nothing to repair
      }
      if (reply == ChecksumReply::kMissing && every_sector) ++budget.rounds;
      reply = AnySector(damaged) ? ChecksumReply::kWrong
                                 : ConfirmRegionChecksum(run, port, map.checksum, checksum);
    }
    // Damage still known when the budget is spent: the monitor's own sum
    // has the last word, with the texts of a download without repair.
    if (AnySector(damaged)) {
      damaged.assign(damaged.size(), false);
      reply = ConfirmRegionChecksum(run, port, map.checksum, checksum);
    }
    if (reply == ChecksumReply::kWrong) break;
    // Time for the prompt after the checksum; every miss but the first is
    // nudged. Whether the prompt came or not, the run goes on.
    AwaitPromptNudging(port, run.clock, {kFirmwareSettleWaits, 1});
    const bool marked = reply == ChecksumReply::kConfirmed &&
                        WriteImageMarker(run, port, map.marker, checksum, true);
    const bool confirmed =
        marked && (map.keep_boot_sector || ConfirmBeyondSpan(run, port, map, image, content));
    if (confirmed || !run.policy.repair || reply != ChecksumReply::kConfirmed ||
        budget.Spent(run)) {
      LogRepairEnd(run, budget, confirmed);
      LogLine(run.observer, "Firmware download complete!\n");
      return confirmed ? 0 : -1;
    }
    // The marker's sector, and the boot sector when it failed, are surveyed
    // against the image before the marker: what differs is written again.
    MarkSectors(damaged, map.marker - map.region.base, kMarkerBytes);
    if (marked) MarkSectors(damaged, map.boot_sector.base - map.region.base, map.boot_sector.bytes);
    reply = ChecksumReply::kWrong;
  }
  LogRepairEnd(run, budget, false);
  return -1;
}

}  // namespace

std::string FirmwareImageProblem(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) return Format("Firmware image %s not found!", path.c_str());
  if (!std::filesystem::is_regular_file(status)) {
    return Format("Firmware image %s is not a regular file!", path.c_str());
  }
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size != kFirmwareRegionBytes) {
    return Format("Firmware image %s has %llu bytes, not %lu!", path.c_str(),
                  static_cast<unsigned long long>(error ? 0 : size),
                  static_cast<unsigned long>(kFirmwareRegionBytes));
  }
  return {};
}

int DownloadFirmwareImage(RunContext& run, PortHandle port) {
  std::vector<uint8_t> image;
  if (!ReadFirmwareImage(run.firmware_image_path, &image)) {
    LogLine(run.observer, "Firmware image %s not found!\n", run.firmware_image_path.c_str());
    return -1;
  }
  const FirmwareMap map = LayoutFor(run.options).firmware;
  SectorRewrite content = FirmwareContent(map, image);

  std::optional<SectorRewrite> rewrite;
  if (run.policy.skip_unchanged) {
    rewrite = PlanFirmwareRewrite(run, port, content);
    // The user flash is erased when asked for, whether the firmware changed or not.
    if (rewrite && rewrite->plan.unchanged) {
      run.firmware_unchanged = true;
      return run.options.erase_user_flash && !EraseUserFlash(run, port, map) ? -1 : 0;
    }
  }

  LogLine(run.observer, "Erasing memory...\n");
  if (!ClearImageMarker(run, port, map.marker, 0)) return -1;
  if (rewrite) {
    SetProgressCaption(run.observer, RunStage::kFirmwareErase, "Erasing ...");
    if (!EraseSectors(run, port, *rewrite, kFirmwareEraseTicks)) return -1;
    LogLine(run.observer, "Erased !\n");
  } else if (!EraseFirmwareRegion(run, port, map)) {
    return -1;
  }
  if (run.options.erase_user_flash && !EraseUserFlash(run, port, map)) return -1;

  ReplyLine last;
  if (!StartDownloader(run, port, last)) {
    LogLine(run.observer, "got NO VQ...%s\n", last.c_str());
    return -1;
  }
  std::vector<bool> damaged(content.content.Sectors(), false);
  std::vector<bool>* compared = run.policy.repair ? &damaged : nullptr;
  const FirmwareTransfer transfer = rewrite ? TransferSectors(run, port, *rewrite, compared)
                                            : TransferImage(run, port, image, map, compared);
  if (!transfer.acknowledged) return -1;

  EndTransfer(run, port, FrameRegion::kFirmware);
  run.observer.StageCompleted();
  LogLine(run.observer, "\nTransferred %ld Bytes in %ld sec!\n", transfer.shown_bytes,
          static_cast<long>(transfer.seconds));
  return ConfirmFirmware(run, port, map, image, content, transfer, damaged);
}

}  // namespace r7700
