#include "link/cancellation.h"

#include <algorithm>

namespace r7700 {

void CancellableClock::Sleep(uint32_t ms) {
  while (ms > 0 && !IsCancelled(cancel_)) {
    const uint32_t slice = std::min(ms, kCancelCheckSliceMs);
    inner_.Sleep(slice);
    ms -= slice;
  }
}

uint32_t CancellableConnection::WriteSome(const uint8_t* data, uint32_t length) {
  if (cancelled()) return 0;
  return ForwardingConnection::WriteSome(data, length);
}

void CancellableConnection::Flush() {
  if (!cancelled()) ForwardingConnection::Flush();
}

uint32_t CancellableConnection::ReadSome(uint8_t* buffer, uint32_t count) {
  if (cancelled()) return 0;
  return ForwardingConnection::ReadSome(buffer, count);
}

}  // namespace r7700
