// A noisy serial line: random bit errors, dropped bytes and duplicated bytes,
// each direction at its own rates. The fate of a byte depends only on the
// seed, its direction and its place in that direction's stream (the n-th
// byte the PC sends, the n-th byte the instrument sends), never on the
// clock or on how the bytes were chunked, so a run against the in-process
// link is reproduced exactly by the same seed, and a pty run meets the same
// errors at the same places in the stream.
#pragma once

#include <cstdint>

namespace r7700::sim {

struct NoiseRates {
  double bit_error_rate = 0;  // the chance that a data bit arrives flipped
  double drop_rate = 0;       // the chance that a byte is lost on the way
  double duplicate_rate = 0;  // the chance that a byte arrives twice

  bool any() const { return bit_error_rate > 0 || drop_rate > 0 || duplicate_rate > 0; }
};

struct LineNoise {
  uint64_t seed = 1;
  NoiseRates to_instrument;  // what the PC sends
  NoiseRates to_pc;          // what the instrument sends
};

// What the noise did to one direction's bytes so far.
struct NoiseCounts {
  int64_t bytes = 0;  // bytes put on the line
  int64_t bits_flipped = 0;
  int64_t bytes_dropped = 0;
  int64_t bytes_duplicated = 0;
};

// What one byte becomes on the way: its value as it arrives, and how many
// times it arrives (0 dropped, 1, or 2 duplicated).
struct ByteFate {
  uint8_t value = 0;
  int copies = 1;
};

enum class Direction : uint64_t { kToInstrument = 1, kToPc = 2 };

class NoisyDirection {
 public:
  NoisyDirection(const NoiseRates& rates, uint64_t seed, Direction direction);

  // The fate of the next byte in this direction.
  ByteFate Carry(uint8_t byte);
  const NoiseCounts& counts() const { return counts_; }
  const NoiseRates& rates() const { return rates_; }

 private:
  // A uniform number in [0, 1) for this byte and purpose.
  double Draw(uint64_t purpose) const;
  uint8_t FlipBits(uint8_t byte);

  NoiseRates rates_;
  double any_flip_chance_;  // that at least one of a byte's 8 data bits flips
  uint64_t stream_;         // seed and direction, mixed
  NoiseCounts counts_;
};

}  // namespace r7700::sim
