// A scripted serial backend for tests: reads come from a script of byte runs
// and empty reads, writes are recorded call by call, and everything the
// portable port code asks of the platform is logged in order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "link/serial_backend.h"

namespace r7700 {

// What one scripted read call returns: the bytes (empty for an empty read).
struct ScriptedRead {
  std::string bytes;
};

// The far end of the fake line, owned by the test and shared by the fake
// connections it opens.
struct FakeWire {
  std::deque<ScriptedRead> reads;      // one entry per ReadSome call
  std::deque<uint32_t> write_limits;   // bytes each WriteSome accepts, then all
  std::vector<uint32_t> write_pieces;  // lengths asked for, call by call
  std::string sent;                    // bytes that went out
  std::vector<std::string> calls;      // platform operations in order
  uint32_t read_calls = 0;
  bool refuse_queues = false;
  std::string refused_call;  // the platform call (as logged in calls) that fails
  int closes = 0;
  PortTimeouts timeouts{};

  // Queues bytes so that each read call returns exactly one of them.
  void QueueBytes(const std::string& bytes) {
    for (char c : bytes) reads.push_back({std::string(1, c)});
  }
  void QueueIdle(int count) {
    for (int i = 0; i < count; ++i) reads.push_back({});
  }
};

class FakeConnection : public SerialConnection {
 public:
  explicit FakeConnection(FakeWire& wire) : wire_(wire) {}
  ~FakeConnection() override { ++wire_.closes; }

  bool RequestQueues(uint32_t rx_bytes, uint32_t tx_bytes) override {
    wire_.calls.push_back("queues " + std::to_string(rx_bytes) + " " + std::to_string(tx_bytes));
    return !wire_.refuse_queues;
  }
  LineResult Purge() override { return Call("purge"); }
  LineResult SetTimeouts(const PortTimeouts& timeouts) override {
    wire_.timeouts = timeouts;
    return Call("timeouts");
  }
  LineResult ConfigureLine(int32_t baud) override {
    return Call("configure " + std::to_string(baud));
  }
  LineResult SetBaud(int32_t baud) override { return Call("baud " + std::to_string(baud)); }
  LineResult RaiseLines() override { return Call("raise"); }
  uint32_t WriteSome(const uint8_t* data, uint32_t length) override {
    wire_.write_pieces.push_back(length);
    uint32_t accepted = length;
    if (!wire_.write_limits.empty()) {
      accepted = std::min(length, wire_.write_limits.front());
      wire_.write_limits.pop_front();
    }
    wire_.sent.append(reinterpret_cast<const char*>(data), accepted);
    return accepted;
  }
  void Flush() override { wire_.calls.push_back("flush"); }
  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override {
    ++wire_.read_calls;
    if (wire_.reads.empty()) return 0;
    ScriptedRead& next = wire_.reads.front();
    const uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(next.bytes.size()));
    std::copy_n(next.bytes.begin(), n, buffer);
    next.bytes.erase(0, n);
    if (next.bytes.empty()) wire_.reads.pop_front();
    return n;
  }
  void ClearError() override { wire_.calls.push_back("clear"); }

 private:
  LineResult Call(const std::string& call) {
    wire_.calls.push_back(call);
    return call == wire_.refused_call ? LineResult::Refused("Invalid argument") : LineResult{};
  }

  FakeWire& wire_;
};

// Candidate ports in probe order, each with whether it opens.
struct FakePort {
  std::string name;
  bool opens = true;
};

class FakeBackend : public SerialBackend {
 public:
  explicit FakeBackend(FakeWire& wire) : wire_(wire) {}

  std::vector<FakePort> ports;
  std::vector<std::string> opened;  // every open attempt, in order

  OpenResult Open(const std::string& name) override {
    opened.push_back(name);
    const auto it = std::find_if(ports.begin(), ports.end(),
                                 [&](const FakePort& port) { return port.name == name; });
    if (it == ports.end()) return {nullptr, {PortProblem::kMissing, "no such port", {}}};
    if (!it->opens) return {nullptr, {PortProblem::kBusy, "in use", {}}};
    return {std::make_unique<FakeConnection>(wire_), {}};
  }
  std::vector<std::string> CandidatePortNames() override {
    std::vector<std::string> names;
    for (const FakePort& port : ports) names.push_back(port.name);
    return names;
  }

 private:
  FakeWire& wire_;
};

}  // namespace r7700
