#include "sim/line_noise.h"

#include <cmath>

namespace r7700::sim {
namespace {

constexpr int kDataBits = 8;  // start and stop bits are not modelled
// What each draw of a byte decides; the later bits of a flip draw one each.
constexpr uint64_t kDropDraw = 1;
constexpr uint64_t kDuplicateDraw = 2;
constexpr uint64_t kAnyFlipDraw = 3;
constexpr uint64_t kBitDraw = 4;

// The finaliser of SplitMix64: every input bit reaches every output bit.
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

constexpr int kUniformBits = 53;  // a double's mantissa

}  // namespace

NoisyDirection::NoisyDirection(const NoiseRates& rates, uint64_t seed, Direction direction)
    : rates_(rates),
      any_flip_chance_(1 - std::pow(1 - rates.bit_error_rate, kDataBits)),
      stream_(Mix(Mix(seed) ^ static_cast<uint64_t>(direction))) {}

double NoisyDirection::Draw(uint64_t purpose) const {
  const uint64_t bits = Mix(Mix(stream_ ^ static_cast<uint64_t>(counts_.bytes)) ^ purpose);
  return std::ldexp(static_cast<double>(bits >> (64 - kUniformBits)), -kUniformBits);
}

// Bit k is the first to flip with the chance (1 - p)^k p; the bits after it
// flip each with p: the same as every bit on its own, drawn once per byte
// instead of eight times.
uint8_t NoisyDirection::FlipBits(uint8_t byte) {
  const double first = Draw(kAnyFlipDraw);
  if (first >= any_flip_chance_) return byte;
  const double p = rates_.bit_error_rate;
  int bit = 0;
  while (bit + 1 < kDataBits && first >= 1 - std::pow(1 - p, bit + 1)) ++bit;
  byte ^= static_cast<uint8_t>(1U << bit);
  ++counts_.bits_flipped;
  for (int later = bit + 1; later < kDataBits; ++later) {
    if (Draw(kBitDraw + static_cast<uint64_t>(later)) < p) {
      byte ^= static_cast<uint8_t>(1U << later);
      ++counts_.bits_flipped;
    }
  }
  return byte;
}

ByteFate NoisyDirection::Carry(uint8_t byte) {
  ByteFate fate{byte, 1};
  if (rates_.drop_rate > 0 && Draw(kDropDraw) < rates_.drop_rate) {
    fate.copies = 0;
    ++counts_.bytes_dropped;
  } else {
    if (rates_.bit_error_rate > 0) fate.value = FlipBits(byte);
    if (rates_.duplicate_rate > 0 && Draw(kDuplicateDraw) < rates_.duplicate_rate) {
      fate.copies = 2;
      ++counts_.bytes_duplicated;
    }
  }
  ++counts_.bytes;
  return fate;
}

}  // namespace r7700::sim
