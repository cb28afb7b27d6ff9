#include "link/checksum.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace r7700 {
namespace {

uint32_t Fold(const uint8_t* bytes, size_t n, uint32_t value = 0) {
  for (size_t i = 0; i < n; ++i) value = ChecksumStep(value, bytes[i]);
  return value;
}

TEST(Checksum, PublishedCheckValueAndTableEntries) {
  const auto* check = reinterpret_cast<const uint8_t*>("123456789");
  EXPECT_EQ(Fold(check, 9), 0xBB3Du);
  EXPECT_EQ(ChecksumStep(0, 1), 0xC0C1u);
  EXPECT_EQ(ChecksumStep(0, 2), 0xC181u);
  EXPECT_EQ(ChecksumStep(0, 3), 0x0140u);
  EXPECT_EQ(ChecksumStep(0, 255), 0x4040u);
}

TEST(Checksum, BlockLeavesOutTheLastByte) {
  EXPECT_EQ(ChecksumBlock(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x3C9Du);
  EXPECT_EQ(ChecksumBlock(reinterpret_cast<const uint8_t*>("abc"), 3), 0x79A8u);
  EXPECT_EQ(Fold(reinterpret_cast<const uint8_t*>("abc"), 3), 0x9738u);
  EXPECT_EQ(ChecksumBlock(nullptr, 1), 0u);
  EXPECT_EQ(ChecksumBlock(nullptr, 0), 0u);
}

TEST(Checksum, TestPatternValues) {
  std::vector<uint8_t> pattern(10240);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i % 256);
  EXPECT_EQ(ChecksumBlock(pattern.data(), 10240), 0xC0F9u);
  EXPECT_EQ(Fold(pattern.data(), 10240), 0x0240u);
  // Folding in two pieces continues the same running value.
  EXPECT_EQ(Fold(pattern.data() + 4000, 6240, Fold(pattern.data(), 4000)), 0x0240u);
}

}  // namespace
}  // namespace r7700
