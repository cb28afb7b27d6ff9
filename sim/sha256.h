// SHA-256, so the state report can name every region of memory by a digest
// that tests compare with the image they sent, byte for byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace r7700::sim {

class Sha256 {
 public:
  Sha256();
  void Update(const uint8_t* data, size_t length);
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string FinishHex();

 private:
  void Compress(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> pending_{};
  size_t pending_bytes_ = 0;
  uint64_t total_bytes_ = 0;
};

std::string Sha256Hex(std::string_view bytes);

}  // namespace r7700::sim
