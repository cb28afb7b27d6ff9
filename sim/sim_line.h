// The instrument's end of the serial line: what it sends is queued with the
// times at which each byte starts and completes, paced at the instrument's
// speed; a speed change takes effect at a chosen moment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <string_view>

#include "sim/line_noise.h"

namespace r7700::sim {

inline constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// What a UART set to another speed makes of a byte: never a line end or a
// letter, so garbage can never pass for a command or a reply.
constexpr uint8_t Garble(uint8_t value) {
  return static_cast<uint8_t>(0x80 | (value ^ 0x2A));
}

class SimLine {
 public:
  // The line's noise towards the PC strikes each byte as it is queued.
  SimLine(int32_t baud, const NoisyDirection& noise)
      : baud_(baud), next_baud_(baud), noise_(noise) {}

  // The instrument's speed at a moment (no earlier than the last switch asked for).
  int32_t BaudAt(int64_t at_us) const { return at_us >= switch_at_us_ ? next_baud_ : baud_; }
  // The instrument talks and listens at `baud` from at_us on.
  void SwitchBaud(int32_t baud, int64_t at_us);
  // Queues bytes to start no earlier than at_us, after what is already
  // queued. Returns when the last of them will be complete.
  int64_t Send(std::string_view bytes, int64_t at_us);
  // When everything queued so far will be complete.
  int64_t free_us() const { return free_us_; }
  // How long the bytes queued so far take on the line, in all.
  int64_t carried_us() const { return carried_us_; }
  // Silenced: nothing sent from now on is queued.
  void Mute() { muted_ = true; }
  // The line goes dead at at_us: bytes that would start then or later are
  // lost, and nothing is sent any more.
  void Cut(int64_t at_us);

  size_t Transmit(uint8_t* out, size_t max, int64_t now_us, int32_t pc_baud);
  int64_t NextOutputMicros() const { return queue_.empty() ? kNever : queue_.front().done_us; }
  void DiscardStarted(int64_t now_us);
  const NoiseCounts& noise_counts() const { return noise_.counts(); }

 private:
  struct OutByte {
    uint8_t value;
    int copies;  // how many times it reaches the PC (line noise)
    int32_t baud;
    int64_t start_us;
    int64_t done_us;
  };

  std::deque<OutByte> queue_;
  int32_t baud_;
  int32_t next_baud_;
  int64_t switch_at_us_ = kNever;
  int64_t free_us_ = 0;
  int64_t carried_us_ = 0;
  bool muted_ = false;
  NoisyDirection noise_;
};

}  // namespace r7700::sim
