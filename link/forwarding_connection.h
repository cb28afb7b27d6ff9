// The base of every port wrapper (tracing, cancelling, counting): each call
// goes to the inner port unless the wrapper overrides it, so a wrapper
// states only what it changes.
#pragma once

#include <cstdint>

#include "link/serial_backend.h"

namespace r7700 {

class ForwardingConnection : public SerialConnection {
 public:
  // The wrapper tells the inner port's observer what the dialogue says.
  explicit ForwardingConnection(SerialConnection& inner) : inner_(inner) {
    ReportDialogueTo(inner.dialogue_observer());
  }

  bool RequestQueues(uint32_t rx_bytes, uint32_t tx_bytes) override {
    return inner_.RequestQueues(rx_bytes, tx_bytes);
  }
  LineResult Purge() override { return inner_.Purge(); }
  LineResult SetTimeouts(const PortTimeouts& timeouts) override {
    return inner_.SetTimeouts(timeouts);
  }
  LineResult ConfigureLine(int32_t baud) override { return inner_.ConfigureLine(baud); }
  LineResult SetBaud(int32_t baud) override { return inner_.SetBaud(baud); }
  LineResult RaiseLines() override { return inner_.RaiseLines(); }
  uint32_t WriteSome(const uint8_t* data, uint32_t length) override {
    return inner_.WriteSome(data, length);
  }
  void Flush() override { inner_.Flush(); }
  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override {
    return inner_.ReadSome(buffer, count);
  }
  void ClearError() override { inner_.ClearError(); }

 protected:
  SerialConnection& inner() { return inner_; }

 private:
  SerialConnection& inner_;
};

}  // namespace r7700
