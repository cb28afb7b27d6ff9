// Counts the bytes the instrument acknowledged in downloader frames, by the
// region the run sent them to: what the result record reports as sent. One
// tally per run, fed by that run's observer alone.
#pragma once

#include <cstdint>

#include "app/cli/report/run_events.h"

namespace r7700::cli {

class TransferTally : public RunEventSink {
 public:
  void Frame(const EventTime&, const FrameEvent& frame) override;

  int64_t firmware_bytes() const { return firmware_bytes_; }
  int64_t language_bytes() const { return language_bytes_; }

 private:
  int64_t firmware_bytes_ = 0;
  int64_t language_bytes_ = 0;
};

}  // namespace r7700::cli
