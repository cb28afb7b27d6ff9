// Ending a run from outside it: the front end owns a flag that its
// interrupt handling sets; the run wraps its clock and its port so that,
// once the flag is set, no wait lasts longer than a slice and nothing more
// reaches the instrument. Every loop of the stages is bounded, so they then
// run out within moments and report failure.
#pragma once

#include <atomic>
#include <cstdint>

#include "link/clock.h"
#include "link/forwarding_connection.h"

namespace r7700 {

using CancelFlag = std::atomic<bool>;

// The longest a sleep of a cancellable clock goes without looking at the
// flag, in the clock's own milliseconds.
inline constexpr uint32_t kCancelCheckSliceMs = 50;

// True once the flag is set; no flag is never set.
inline bool IsCancelled(const CancelFlag* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// Sleeps on the inner clock in slices, returning as soon as the flag is set
// (no flag: the inner clock's sleep as it is).
class CancellableClock : public Clock {
 public:
  CancellableClock(Clock& inner, const CancelFlag* cancel) : inner_(inner), cancel_(cancel) {}
  void Sleep(uint32_t ms) override;
  int64_t CalendarSeconds() override { return inner_.CalendarSeconds(); }

 private:
  Clock& inner_;
  const CancelFlag* cancel_;
};

// Passes everything through to the inner port until the flag is set; from
// then on writes send nothing and reads return at once with nothing, while
// settings and closing still reach the port. No flag: never set.
class CancellableConnection : public ForwardingConnection {
 public:
  CancellableConnection(SerialConnection& inner, const CancelFlag* cancel)
      : ForwardingConnection(inner), cancel_(cancel) {}

  uint32_t WriteSome(const uint8_t* data, uint32_t length) override;
  void Flush() override;
  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override;

 private:
  bool cancelled() const { return IsCancelled(cancel_); }

  const CancelFlag* cancel_;
};

}  // namespace r7700
