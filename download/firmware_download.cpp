#include "download/firmware_download.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "dialogue/command_link.h"
#include "dialogue/monitor_reads.h"
#include "download/firmware_rewrite.h"
#include "download/flash_programming.h"
#include "download/instrument_pacing.h"
#include "link/checksum.h"
#include "link/status_log.h"
#include "link/text_format.h"

namespace r7700 {
namespace {

struct FirmwareTransfer {
  bool acknowledged = true;
  uint32_t checksum = 0;
  // The boot sector's own checksum, and how many of its bytes went out.
  uint32_t boot_sector_checksum = 0;
  uint32_t boot_sector_bytes = 0;
  long shown_bytes = 0;
  int64_t seconds = 0;
};

bool EraseFirmwareRegion(RunContext& run, PortHandle port, const FirmwareMap& map) {
  SendErase(run, port, map.erase.base, map.erase.bytes);
  SetProgressCaption(run.window, "Erasing ...");
  if (!WaitOutErase(run, port, kFirmwareEraseTicks)) return false;
  LogLine(run.window, "Erased !\n");
  return true;
}

bool EraseUserFlash(RunContext& run, PortHandle port, const FirmwareMap& map) {
  SetProgressCaption(run.window, "Erasing UserFlash ...");
  SendErase(run, port, map.user_flash.base, map.user_flash.bytes);
  if (!WaitOutErase(run, port, kFirmwareEraseTicks)) return false;
  LogLine(run.window, "Erased UserFlash!\n");
  return true;
}

// Folds the bytes of a block sent at offset that lie in the boot sector
// (and no further: bytes past the region end are not part of it).
void FoldBootSectorBytes(FirmwareTransfer& result, const uint8_t* block, uint32_t length,
                         uint32_t offset) {
  for (uint32_t i = 0; i < length; ++i) {
    const uint32_t at = offset + i;
    if (at < kBootSectorOffset || at >= kFirmwareRegionBytes) continue;
    result.boot_sector_checksum = ChecksumStep(result.boot_sector_checksum, block[i]);
    ++result.boot_sector_bytes;
  }
}

// The monitor's checksum of the boot sector against the one computed while
// sending: the region checksum stops below it, so without this nothing
// proves the boot sector. A boot sector that was not sent in full fails.
bool ConfirmBootSector(RunContext& run, PortHandle port, const FirmwareMap& map,
                       const FirmwareTransfer& transfer) {
  if (transfer.boot_sector_bytes == map.boot_sector.bytes) {
    const std::optional<uint16_t> value = QueryMonitorChecksum(
        run, port, map.boot_sector.base, map.boot_sector.bytes, kBootSectorChecksumWaitMs);
    if (value.has_value() && *value == transfer.boot_sector_checksum) return true;
  }
  LogLine(run.window, "Boot sector not confirmed!\n");
  return false;
}

// Streams the image in LoadBlocks, unmasking each block in place and
// folding the bytes below the data limit into the running checksum. The
// image file is closed when the transfer ends.
FirmwareTransfer TransferImage(RunContext& run, PortHandle port, ImageFile& image,
                               const FirmwareMap& map) {
  FirmwareTransfer result;
  LogLine(run.window, "Downloading:");
  const long file_bytes = image.Size();
  result.shown_bytes = map.keep_boot_sector ? file_bytes - long{kBootSectorBytes} : file_bytes;
  const auto shown_total = static_cast<int32_t>(result.shown_bytes);
  std::array<uint8_t, kFirmwareBlockBytes> block;
  uint32_t n = image.Read(block.data(), kFirmwareBlockBytes);
  SetProgressCaption(run.window, "Bytes transferred:");
  ShowProgress(run.window, run.progress, 0, shown_total);
  uint32_t address = map.region.base;
  const int64_t started = run.clock.CalendarSeconds();
  while (n > 0 && address < map.send.End()) {
    const uint32_t checksummed = BytesBelow(address, n, map.checksum.End());
    const uint32_t send_length = BytesBelow(address, n, map.send.End());
    for (uint32_t i = 0; i < send_length; ++i) block[i] ^= ImageMask;
    SendBlock(run, port, block.data(), send_length, address);
    uint8_t ack = 0;
    // Any byte acknowledges a firmware block; its value is not compared.
    if (!AwaitBlockAck(run, port, &ack)) {
      LogLine(run.window, "Board does not repsond!");
      result.acknowledged = false;
      return result;
    }
    ShowProgress(run.window, run.progress, static_cast<int32_t>(send_length), shown_total);
    for (uint32_t i = 0; i < checksummed; ++i) {
      result.checksum = ChecksumStep(result.checksum, block[i]);
    }
    FoldBootSectorBytes(result, block.data(), send_length, address - map.region.base);
    address += n;
    n = image.Read(block.data(), kFirmwareBlockBytes);
  }
  result.seconds = run.clock.CalendarSeconds() - started;
  image.Close();
  return result;
}

// Sends only the planned sectors, from the image as the survey read it. The
// boot sector, when it belongs to the download, was either sent whole or
// found equal by the survey: its checksum is the image's either way.
FirmwareTransfer TransferSectors(RunContext& run, PortHandle port, const SectorRewrite& rewrite) {
  FirmwareTransfer result;
  LogLine(run.window, "Downloading:");
  const int64_t started = run.clock.CalendarSeconds();
  uint32_t sent = 0;
  result.acknowledged =
      SendSectors(run, port, rewrite, kFirmwareBlockBytes, AckRule::kAnyByte, &sent);
  result.checksum = rewrite.checksum;
  if (rewrite.content.bytes.size() == kFirmwareRegionBytes) {
    result.boot_sector_checksum =
        ChecksumBlock(rewrite.content.bytes.data() + kBootSectorOffset, kBootSectorBytes + 1);
    result.boot_sector_bytes = kBootSectorBytes;
  }
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
        LogLine(run.window, "Checksum not received!\n");
        return ChecksumReply::kMissing;
      }
      ++requeries;
      SendRegionChecksumQuery(run, port, span, command);
      wait_factor += kChecksumWaitFactorStep;
      LogLine(run.window, "redo4 cmd %s (to %d)", command.c_str(), wait_factor);
      PauseForReply(run, static_cast<uint32_t>(wait_factor) * kChecksumWaitUnitMs);
      reads = 1;
      continue;
    }
    if (reads > kChecksumTriggerAfterReads && line.view().empty()) {
      if ((reads - kChecksumTriggerAfterReads) % 2 == 1) {
        LogLine(run.window, "trigger %d\n", reads);
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
  ImageFile image(run.firmware_image_path);
  if (!image.is_open()) {
    LogLine(run.window, "Firmware image %s not found!\n", run.firmware_image_path.c_str());
    return -1;
  }
  const FirmwareMap map = LayoutFor(run.options).firmware;

  std::optional<SectorRewrite> rewrite;
  if (run.policy.skip_unchanged) {
    rewrite = PlanFirmwareRewrite(run, port, map);
    if (rewrite && rewrite->plan.unchanged) return 0;
  }

  LogLine(run.window, "Erasing memory...\n");
  if (!ClearImageMarker(run, port, map.marker, 0)) return -1;
  if (rewrite) {
    SetProgressCaption(run.window, "Erasing ...");
    if (!EraseSectors(run, port, *rewrite, kFirmwareEraseTicks)) return -1;
    LogLine(run.window, "Erased !\n");
  } else if (!EraseFirmwareRegion(run, port, map)) {
    return -1;
  }
  if (run.options.erase_user_flash && !EraseUserFlash(run, port, map)) return -1;

  ReplyLine last;
  if (!StartDownloader(run, port, last)) {
    LogLine(run.window, "got NO VQ...%s\n", last.c_str());
    return -1;
  }
  const FirmwareTransfer transfer =
      rewrite ? TransferSectors(run, port, *rewrite) : TransferImage(run, port, image, map);
  if (!transfer.acknowledged) return -1;

  EndTransfer(run, port);
  LogLine(run.window, "\nTransferred %ld Bytes in %ld sec!\n", transfer.shown_bytes,
          static_cast<long>(transfer.seconds));

  const ChecksumReply reply = ConfirmRegionChecksum(run, port, map.checksum, transfer.checksum);
  if (reply == ChecksumReply::kWrong) return -1;
  // Time for the prompt after the checksum; every miss but the first is
  // nudged. Whether the prompt came or not, the run goes on.
  AwaitPromptNudging(port, run.clock, {kFirmwareSettleWaits, 1});
  bool confirmed = reply == ChecksumReply::kConfirmed &&
                   WriteImageMarker(run, port, map.marker, transfer.checksum, true);
  if (confirmed && !map.keep_boot_sector) {
    confirmed = ConfirmBootSector(run, port, map, transfer);
  }
  LogLine(run.window, "Firmware download complete!\n");
  return confirmed ? 0 : -1;
}

}  // namespace r7700
