#include "app/cli/report/transfer_tally.h"

#include "download/firmware_download.h"
#include "download/flash_programming.h"
#include "languages/image_builder.h"

namespace r7700::cli {
namespace {

// Whether address lies in the region at base (flash boot) or in its RAM-card copy.
bool InRegion(uint32_t address, uint32_t base, uint32_t bytes) {
  return (address >= base && address - base < bytes) ||
         (address >= base - RamCardOffset && address - (base - RamCardOffset) < bytes);
}

}  // namespace

void TransferTally::Frame(const EventTime&, const FrameSummary& frame) {
  if (!frame.ack) return;
  if (InRegion(frame.address, FlashBase, kFirmwareRegionBytes)) firmware_bytes_ += frame.length;
  if (InRegion(frame.address, kLanguageAreaBase, kLanguageAreaBytes)) {
    language_bytes_ += frame.length;
  }
}

}  // namespace r7700::cli
