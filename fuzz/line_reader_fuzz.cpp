// The serial line reader over any bytes from the line, in any split into
// read calls: every call ends, stays inside its buffer, returns what it
// stored (or -1 after the idle limit) and never keeps a CR.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "link/serial_port.h"
#include "tests/link/fake_serial.h"

namespace r7700::fuzz {
namespace {

constexpr char kReadSeparator = '|';

// Input: one byte giving the buffer size (1 to 256), then the bytes the line
// delivers, one read call per run between '|' (an empty run: an empty read).
void QueueReads(const uint8_t* data, size_t size, FakeWire& wire) {
  std::string run;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == kReadSeparator) {
      wire.reads.push_back({run});
      run.clear();
    } else {
      run.push_back(static_cast<char>(data[i]));
    }
  }
  wire.reads.push_back({run});
}

void CheckLine(const std::vector<char>& buffer, int32_t result) {
  const auto size = static_cast<int32_t>(buffer.size());
  Check(result >= -1 && result <= size - 1);
  if (result < 0) return;
  Check(buffer[static_cast<size_t>(result)] == '\0');
  Check(std::memchr(buffer.data(), '\r', static_cast<size_t>(result)) == nullptr);
}

}  // namespace
}  // namespace r7700::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace r7700;
  if (size < 1) return 0;
  FakeWire wire;
  fuzz::QueueReads(data + 1, size - 1, wire);
  FakeConnection port(wire);
  // Exactly as large as promised, so a write past it is caught.
  std::vector<char> buffer(size_t{data[0]} + 1);
  const size_t reads = wire.reads.size();
  // Each call takes at least one read while any is left; past the last the
  // idle limit ends it.
  for (size_t call = 0; call <= reads; ++call) {
    const int32_t result = ReadPortLine(&port, buffer.data(), static_cast<uint32_t>(buffer.size()));
    fuzz::CheckLine(buffer, result);
    if (result == -1 && wire.reads.empty()) break;
  }
  return 0;
}
