// A PC end for the simulator tests: the port to an in-process instrument on
// a virtual clock, and the few moves a test makes on it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/clock.h"
#include "link/serial_port.h"
#include "sim/instrument.h"
#include "sim/sim_backend.h"

namespace r7700::test {

inline constexpr std::string_view kPrompt = "R7700>\r\n";

inline sim::InstrumentConfig InMonitor(sim::Faults faults = {}) {
  sim::InstrumentConfig config;
  config.in_monitor = true;
  config.faults = faults;
  return config;
}

// LoadBlock: 0x4A, big-endian length, big-endian address, data.
inline std::string LoadBlock(uint32_t address, const std::vector<uint8_t>& data) {
  std::string frame = "J";
  for (uint32_t word : {static_cast<uint32_t>(data.size()), address}) {
    for (int shift = 24; shift >= 0; shift -= 8) frame += static_cast<char>((word >> shift) & 0xFF);
  }
  return frame + std::string(data.begin(), data.end());
}

inline const std::string kEndBlock("J\0\0\0\0", 5);

// Byte i is i mod 256.
inline std::vector<uint8_t> TestPattern(size_t length) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

struct SimRig {
  explicit SimRig(const sim::InstrumentConfig& config = {})
      : instrument(config), backend(instrument, clock), port(backend.Open("SIM").port) {
    EXPECT_TRUE(port->SetTimeouts(kPortTimeouts).ok);
    EXPECT_TRUE(port->ConfigureLine(config.initial_baud).ok);
  }

  void Send(std::string_view bytes) { WritePort(port.get(), bytes.data(), bytes.size()); }

  // Everything that arrives until the text ends with `ending` or limit_ms
  // of virtual time have passed.
  std::string ReadUntil(std::string_view ending, int64_t limit_ms = 5000) {
    std::string text;
    const int64_t deadline = clock.NowMicros() + limit_ms * 1000;
    while (clock.NowMicros() < deadline && !text.ends_with(ending)) {
      uint8_t byte;
      if (ReadPortBytes(port.get(), &byte, 1) == 1) text += static_cast<char>(byte);
    }
    return text;
  }
  // Everything that arrives within limit_ms.
  std::string ReadFor(int64_t limit_ms) { return ReadUntil("\x01never", limit_ms); }

  std::string Ask(std::string_view command, std::string_view ending = kPrompt) {
    Send(command);
    return ReadUntil(ending);
  }

  // ramload (or flashload), one block, its acknowledgement (empty when none
  // came), the end block and the prompt.
  std::string Load(bool to_flash, uint32_t address, const std::vector<uint8_t>& data) {
    Ask(to_flash ? "flashload\n" : "ramload\n", ")\r\n");
    Send(LoadBlock(address, data));
    std::string ack = ReadFor(500);
    Ask(kEndBlock);
    return ack;
  }

  VirtualClock clock;
  sim::Instrument instrument;
  SimBackend backend;
  OwnedPort port;
};

}  // namespace r7700::test
