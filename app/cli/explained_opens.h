// A serial backend that passes everything to another and, when an open
// fails, hands the one-line reason (OpenFailureLine) to a listener: the
// numbered message of the failed open keeps its text, and the technician
// also learns why and what to do.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/cli/port_list.h"

namespace r7700::cli {

class ExplainedOpens : public SerialBackend {
 public:
  ExplainedOpens(SerialBackend& inner, std::function<void(const std::string&)> listener)
      : inner_(inner), listener_(std::move(listener)) {}

  OpenResult Open(const std::string& name) override {
    OpenResult opened = inner_.Open(name);
    if (!opened) listener_(OpenFailureLine(name, opened.failure));
    return opened;
  }
  std::vector<std::string> CandidatePortNames() override { return inner_.CandidatePortNames(); }

 private:
  SerialBackend& inner_;
  std::function<void(const std::string&)> listener_;
};

}  // namespace r7700::cli
