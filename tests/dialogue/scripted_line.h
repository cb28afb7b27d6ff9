// A scripted far end for replies the simulated instrument cannot give:
// every command line the tool writes may be answered by a callback, text can
// be queued up front, and reads return one byte at a time or, when nothing
// is queued, spend the 21 ms read time limit on the virtual clock.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/clock.h"
#include "link/serial_backend.h"
#include "link/serial_port.h"

namespace r7700 {

class ScriptedLine : public SerialConnection {
 public:
  explicit ScriptedLine(VirtualClock& clock) : clock_(clock) {}

  // Answers one complete command line (without its "\n"); the text returned
  // is queued for reading.
  std::function<std::string(const std::string&)> respond;

  void Queue(std::string_view text) { incoming_.insert(incoming_.end(), text.begin(), text.end()); }

  const std::string& sent() const { return sent_; }
  const std::vector<std::string>& lines() const { return lines_; }
  int read_calls() const { return read_calls_; }
  int idle_reads() const { return idle_reads_; }
  int32_t baud() const { return baud_; }
  // Writes that went out in one call, in order, by length.
  const std::vector<uint32_t>& write_calls() const { return write_calls_; }

  bool RequestQueues(uint32_t, uint32_t) override { return true; }
  LineResult Purge() override { return {}; }
  LineResult SetTimeouts(const PortTimeouts&) override { return {}; }
  LineResult ConfigureLine(int32_t baud) override { return SetBaud(baud); }
  LineResult SetBaud(int32_t baud) override {
    baud_ = baud;
    return {};
  }
  LineResult RaiseLines() override { return {}; }
  uint32_t WriteSome(const uint8_t* data, uint32_t length) override {
    write_calls_.push_back(length);
    for (uint32_t i = 0; i < length; ++i) {
      const char c = static_cast<char>(data[i]);
      sent_.push_back(c);
      if (c != '\n') {
        pending_line_.push_back(c);
        continue;
      }
      lines_.push_back(pending_line_);
      if (respond) Queue(respond(pending_line_));
      pending_line_.clear();
    }
    return length;
  }
  void Flush() override {}
  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override {
    ++read_calls_;
    if (incoming_.empty() || count == 0) {
      ++idle_reads_;
      clock_.Sleep(kPortTimeouts.read_per_byte_ms + kPortTimeouts.read_constant_ms);
      return 0;
    }
    buffer[0] = static_cast<uint8_t>(incoming_.front());
    incoming_.pop_front();
    return 1;
  }
  void ClearError() override {}

 private:
  VirtualClock& clock_;
  std::deque<char> incoming_;
  std::string sent_;
  std::string pending_line_;
  std::vector<std::string> lines_;
  std::vector<uint32_t> write_calls_;
  int read_calls_ = 0;
  int idle_reads_ = 0;
  int32_t baud_ = 19200;
};

// How many times text occurs in what was sent (non-overlapping).
inline int Occurrences(std::string_view sent, std::string_view text) {
  int count = 0;
  for (size_t at = sent.find(text); at != std::string_view::npos;
       at = sent.find(text, at + text.size())) {
    ++count;
  }
  return count;
}

}  // namespace r7700
