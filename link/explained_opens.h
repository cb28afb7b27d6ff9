// A serial backend that passes everything to another and, when an open
// fails, hands the port and the system's reason to a listener: the
// numbered message of the failed open keeps its text, and the technician
// also learns why and what to do.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/serial_backend.h"

namespace r7700 {

class ExplainedOpens : public SerialBackend {
 public:
  using Listener = std::function<void(const std::string& name, const PortOpenFailure&)>;

  ExplainedOpens(SerialBackend& inner, Listener listener)
      : inner_(inner), listener_(std::move(listener)) {}

  OpenResult Open(const std::string& name) override {
    OpenResult opened = inner_.Open(name);
    if (!opened) listener_(name, opened.failure);
    return opened;
  }
  std::vector<std::string> CandidatePortNames() override { return inner_.CandidatePortNames(); }

 private:
  SerialBackend& inner_;
  Listener listener_;
};

}  // namespace r7700
