// The simulator's own SHA-256 and checksum, against published values and
// against the tool's table-driven checksum.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "link/checksum.h"
#include "sim/monitor_checksum.h"
#include "sim/sha256.h"

namespace r7700::sim {
namespace {

TEST(SimSha256, PublishedVectors) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  // A million "a", fed in pieces that straddle the 64-byte blocks.
  Sha256 hash;
  const std::string piece(997, 'a');
  size_t fed = 0;
  while (fed < 1000000) {
    const size_t n = std::min(piece.size(), 1000000 - fed);
    hash.Update(reinterpret_cast<const uint8_t*>(piece.data()), n);
    fed += n;
  }
  EXPECT_EQ(hash.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

uint16_t MonitorSum(std::string_view bytes) {
  uint16_t value = 0;
  for (char c : bytes) value = MonitorChecksumStep(value, static_cast<uint8_t>(c));
  return value;
}

TEST(SimChecksum, WorkedValuesAndTheToolAgree) {
  EXPECT_EQ(MonitorSum("123456789"), 0xBB3D);
  EXPECT_EQ(MonitorSum("12345678"), 0x3C9D);
  EXPECT_EQ(MonitorSum("ab"), 0x79A8);
  EXPECT_EQ(MonitorSum("abc"), 0x9738);
  std::mt19937 random(7);
  uint16_t ours = 0;
  uint32_t tools = 0;
  for (int i = 0; i < 100000; ++i) {
    const auto byte = static_cast<uint8_t>(random());
    ours = MonitorChecksumStep(ours, byte);
    tools = ChecksumStep(tools, byte);
    ASSERT_EQ(ours, tools) << "after byte " << i;
  }
}

}  // namespace
}  // namespace r7700::sim
