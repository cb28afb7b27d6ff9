#include "app/cli/report/transfer_tally.h"

#include "download/flash_map.h"

namespace r7700::cli {

void TransferTally::Frame(const EventTime&, const FrameSummary& frame) {
  if (!frame.ack) return;
  const FlashRegion region = RegionAt(frame.address);
  if (region == FlashRegion::kFirmware) firmware_bytes_ += frame.length;
  if (region == FlashRegion::kLanguages) language_bytes_ += frame.length;
}

}  // namespace r7700::cli
