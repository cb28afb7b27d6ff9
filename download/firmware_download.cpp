#include "download/firmware_download.h"

#include <array>
#include <string>

#include "dialogue/command_link.h"
#include "download/flash_programming.h"
#include "link/checksum.h"
#include "link/status_log.h"

namespace r7700 {
namespace {

// Where the region lies and how much of the image goes to it.
struct FirmwareMap {
  uint32_t base = FlashBase;
  // Neither the RAM card nor the boot sector: the boot sector stays as it
  // is, so neither it nor the byte before the marker is erased or sent.
  bool keep_boot_sector = true;
};

FirmwareMap MapFor(const RunOptions& options) {
  FirmwareMap map;
  if (options.boot_from_ram_card) map.base -= RamCardOffset;
  map.keep_boot_sector = !options.boot_from_ram_card && !options.with_boot_sector;
  return map;
}

struct TransferResult {
  bool acknowledged = true;
  uint32_t checksum = 0;
  long shown_bytes = 0;
  int64_t seconds = 0;
};

void EraseFirmwareRegion(RunContext& run, PortHandle port, const FirmwareMap& map) {
  SendErase(run, port, map.base, map.keep_boot_sector ? kBootSectorOffset : kFirmwareRegionBytes);
  SetProgressCaption(run.window, "Erasing ...");
  WaitOutErase(run, port, kFirmwareEraseTicks);
  LogLine(run.window, "Erased !\n");
}

void EraseUserFlash(RunContext& run, PortHandle port, const RunOptions& options) {
  SetProgressCaption(run.window, "Erasing UserFlash ...");
  const uint32_t base =
      options.boot_from_ram_card ? kUserFlashBase - RamCardOffset : kUserFlashBase;
  SendErase(run, port, base, kUserFlashBytes);
  WaitOutErase(run, port, kFirmwareEraseTicks);
  LogLine(run.window, "Erased UserFlash!\n");
}

// Streams the image in LoadBlocks, unmasking each block in place and
// folding the bytes below the data limit into the running checksum. The
// image file is closed when the transfer ends.
TransferResult TransferImage(RunContext& run, PortHandle port, ImageFile& image,
                             const FirmwareMap& map) {
  TransferResult result;
  LogLine(run.window, "Downloading:");
  const long file_bytes = image.Size();
  result.shown_bytes = map.keep_boot_sector ? file_bytes - long{kBootSectorBytes} : file_bytes;
  const auto shown_total = static_cast<int32_t>(result.shown_bytes);
  std::array<uint8_t, kFirmwareBlockBytes> block;
  uint32_t n = image.Read(block.data(), kFirmwareBlockBytes);
  SetProgressCaption(run.window, "Bytes transferred:");
  ShowProgress(run.window, run.progress, 0, shown_total);
  const uint32_t data_limit = map.base + kFirmwareDataLimitOffset;
  uint32_t address = map.base;
  const int64_t started = run.clock.CalendarSeconds();
  while (n > 0) {
    if (map.keep_boot_sector && address >= map.base + kBootSectorOffset) break;
    const uint32_t checksummed = BytesBelow(address, n, data_limit);
    const uint32_t send_length = map.keep_boot_sector ? checksummed : n;
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
    address += n;
    n = image.Read(block.data(), kFirmwareBlockBytes);
  }
  result.seconds = run.clock.CalendarSeconds() - started;
  image.Close();
  return result;
}

// Asks the monitor for the checksum of the data span and compares it. A
// prompt in place of the value repeats the query with a longer wait; after
// ten reads an empty line every other read is answered with a nudge.
ChecksumReply ConfirmRegionChecksum(RunContext& run, PortHandle port, uint32_t base,
                                    uint32_t checksum) {
  std::string command;
  SendChecksumQuery(run, port, base, kFirmwareChecksumLength, command);
  int wait_factor = kChecksumWaitFactor;
  run.clock.Sleep(static_cast<uint32_t>(wait_factor) * kChecksumWaitUnitMs);
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
      SendChecksumQuery(run, port, base, kFirmwareChecksumLength, command);
      wait_factor += kChecksumWaitFactorStep;
      LogLine(run.window, "redo4 cmd %s (to %d)", command.c_str(), wait_factor);
      run.clock.Sleep(static_cast<uint32_t>(wait_factor) * kChecksumWaitUnitMs);
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

// Gives the monitor time to show its prompt after the checksum; every miss
// but the first is nudged. Whether the prompt came or not, the run goes on.
void SettleMonitor(RunContext& run, PortHandle port) {
  for (int wait = 1; wait <= kFirmwareSettleWaits; ++wait) {
    if (WaitForPrompt(port, MonitorPrompt, nullptr) == 1) return;
    if (wait > 1) {
      SendText(port, Nudge);
      ShortPause(run.clock);
    }
  }
}

}  // namespace

int DownloadFirmwareImage(RunContext& run, PortHandle port) {
  ImageFile image(run.firmware_image_path);
  if (!image.is_open()) {
    LogLine(run.window, "Firmware image %s not found!\n", run.firmware_image_path.c_str());
    return -1;
  }
  const FirmwareMap map = MapFor(run.options);
  const uint32_t marker_address = map.base + kFirmwareMarkerOffset;

  LogLine(run.window, "Erasing memory...\n");
  ClearImageMarker(run, port, marker_address, 0);
  EraseFirmwareRegion(run, port, map);
  if (run.options.erase_user_flash) EraseUserFlash(run, port, run.options);

  ReplyLine last;
  if (!StartDownloader(run, port, last)) {
    LogLine(run.window, "got NO VQ...%s\n", last.c_str());
    return -1;
  }
  const TransferResult transfer = TransferImage(run, port, image, map);
  if (!transfer.acknowledged) return -1;

  EndTransfer(run, port);
  LogLine(run.window, "\nTransferred %ld Bytes in %ld sec!\n", transfer.shown_bytes,
          static_cast<long>(transfer.seconds));

  const ChecksumReply reply = ConfirmRegionChecksum(run, port, map.base, transfer.checksum);
  if (reply == ChecksumReply::kWrong) return -1;
  SettleMonitor(run, port);
  const bool marked = reply == ChecksumReply::kConfirmed &&
                      WriteImageMarker(run, port, marker_address, transfer.checksum, true);
  LogLine(run.window, "Firmware download complete!\n");
  return marked ? 0 : -1;
}

}  // namespace r7700
