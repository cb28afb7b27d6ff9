// ChecksumStep and ChecksumBlock against an independent CRC-16/ARC
// implementation (Boost.CRC's crc_16_type), over random buffers.
#include <gtest/gtest.h>

#include <boost/crc.hpp>
#include <cstdint>
#include <random>
#include <vector>

#include "link/checksum.h"

namespace r7700 {
namespace {

uint32_t BoostArc(const uint8_t* bytes, size_t length) {
  boost::crc_16_type crc;
  crc.process_bytes(bytes, length);
  return crc.checksum();
}

TEST(ChecksumCrossCheck, EverySingleByteMatches) {
  for (int byte = 0; byte < 256; ++byte) {
    const auto b = static_cast<uint8_t>(byte);
    EXPECT_EQ(ChecksumStep(0, b), BoostArc(&b, 1)) << byte;
  }
}

TEST(ChecksumCrossCheck, RandomBuffersMatchStepByStepAndAsBlocks) {
  std::mt19937 random(7700);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<size_t> length(1, 12000);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> buffer(length(random));
    for (uint8_t& b : buffer) b = static_cast<uint8_t>(byte(random));
    uint32_t value = 0;
    for (uint8_t b : buffer) value = ChecksumStep(value, b);
    ASSERT_EQ(value, BoostArc(buffer.data(), buffer.size())) << "round " << round;
    ASSERT_LE(value, 0xFFFFu);
    // The block form covers all but the last byte.
    ASSERT_EQ(ChecksumBlock(buffer.data(), static_cast<uint32_t>(buffer.size())),
              BoostArc(buffer.data(), buffer.size() - 1))
        << "round " << round;
  }
}

}  // namespace
}  // namespace r7700
