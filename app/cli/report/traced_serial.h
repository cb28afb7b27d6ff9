// A serial backend that passes everything to the one it wraps and reports
// the dialogue's text as events: each command line sent and each line
// received. Nothing is changed on the line. Frames are reported by the run
// itself; here their bytes are only passed over.
//
// The write stream is read as the dialogue writes it: text lines ending in
// LF, and frames that start with the byte "J" where a line would start (no
// command does), followed by the 32-bit length and address, most
// significant byte first, and the data; a length of 0 alone is the end block.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/cli/report/run_events.h"
#include "link/serial_backend.h"

namespace r7700::cli {

class TracedSerialBackend : public SerialBackend {
 public:
  TracedSerialBackend(SerialBackend& inner, RunEvents& events) : inner_(inner), events_(events) {}

  OpenResult Open(const std::string& name) override;
  std::vector<std::string> CandidatePortNames() override { return inner_.CandidatePortNames(); }

 private:
  SerialBackend& inner_;
  RunEvents& events_;
};

}  // namespace r7700::cli
