#include "app/cli/report/transfer_tally.h"

namespace r7700::cli {

void TransferTally::Frame(const EventTime&, const FrameEvent& frame) {
  if (!frame.ack) return;
  if (frame.region == FrameRegion::kFirmware) firmware_bytes_ += frame.length;
  if (frame.region == FrameRegion::kLanguages) language_bytes_ += frame.length;
}

}  // namespace r7700::cli
