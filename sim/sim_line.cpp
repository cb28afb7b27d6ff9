#include "sim/sim_line.h"

#include <algorithm>

#include "sim/line_timing.h"

namespace r7700::sim {
void SimLine::SwitchBaud(int32_t baud, int64_t at_us) {
  if (switch_at_us_ != kNever) baud_ = next_baud_;  // an earlier switch has happened by now
  next_baud_ = baud;
  switch_at_us_ = at_us;
}

int64_t SimLine::Send(std::string_view bytes, int64_t at_us) {
  if (muted_) return at_us;
  const int64_t start = std::max(at_us, free_us_);
  const int32_t baud = BaudAt(start);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto n = static_cast<int64_t>(i);
    const ByteFate fate = noise_.Carry(static_cast<uint8_t>(bytes[i]));
    queue_.push_back({fate.value, fate.copies, baud, start + LineMicros(n, baud),
                      start + LineMicros(n + 1, baud)});
  }
  free_us_ = start + LineMicros(static_cast<int64_t>(bytes.size()), baud);
  carried_us_ += free_us_ - start;
  return free_us_;
}

void SimLine::Cut(int64_t at_us) {
  while (!queue_.empty() && queue_.back().start_us >= at_us) queue_.pop_back();
  muted_ = true;
}

size_t SimLine::Transmit(uint8_t* out, size_t max, int64_t now_us, int32_t pc_baud) {
  size_t n = 0;
  while (n < max && !queue_.empty() && queue_.front().done_us <= now_us) {
    OutByte& byte = queue_.front();
    // A duplicate that finds no room is delivered by the next call.
    for (; byte.copies > 0 && n < max; --byte.copies) {
      out[n++] = byte.baud == pc_baud ? byte.value : Garble(byte.value);
    }
    if (byte.copies == 0) queue_.pop_front();
  }
  return n;
}

void SimLine::DiscardStarted(int64_t now_us) {
  while (!queue_.empty() && queue_.front().start_us < now_us) queue_.pop_front();
}

}  // namespace r7700::sim
