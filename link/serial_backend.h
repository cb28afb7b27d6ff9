// The serial backend seam: the platform primitives of one serial port and
// nothing else. Everything the dialogue relies on (piecewise writes, line
// reads with an idle limit, speed changes) is portable code in
// serial_port.cpp written once over this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace r7700 {

class RunObserver;

// Time limits of an open port, as the platform applies them to every read
// and write call. A read of n bytes gives up after
// read_per_byte_ms * n + read_constant_ms; a write of n bytes after
// write_per_byte_ms * n + write_constant_ms.
struct PortTimeouts {
  uint32_t read_per_byte_ms = 0;
  uint32_t read_constant_ms = 0;
  uint32_t write_per_byte_ms = 0;
  uint32_t write_constant_ms = 0;
};

// What a setting call came to: done, or refused with the operating
// system's words for why ("Invalid argument").
struct [[nodiscard]] LineResult {
  bool ok = true;
  std::string reason;

  static LineResult Refused(std::string why) { return {false, std::move(why)}; }
};

// One open serial port. Destroying it closes the port.
class SerialConnection {
 public:
  virtual ~SerialConnection() = default;

  // Asks for receive and transmit queues of the given sizes. False when the
  // platform refuses; a platform without such a setting accepts.
  virtual bool RequestQueues(uint32_t rx_bytes, uint32_t tx_bytes) = 0;
  // Discards everything queued in both directions and aborts pending transfers.
  virtual LineResult Purge() = 0;
  virtual LineResult SetTimeouts(const PortTimeouts& timeouts) = 0;
  // Binary, 8 data bits, no parity, one stop bit, NUL bytes delivered, no
  // XON/XOFF, no CTS flow control, DTR and RTS raised; every other setting
  // keeps what the port reported. Refused when the port does not take the
  // speed: the line then keeps the speed it had.
  virtual LineResult ConfigureLine(int32_t baud) = 0;
  virtual LineResult SetBaud(int32_t baud) = 0;
  // DTR and RTS raised (and kept raised while open). A port without modem
  // lines (a pseudo-terminal) accepts.
  virtual LineResult RaiseLines() = 0;
  // One platform write call: returns the bytes that went out before the
  // write time limit, possibly fewer than asked, possibly 0.
  virtual uint32_t WriteSome(const uint8_t* data, uint32_t length) = 0;
  // Returns once everything written has been handed to the line.
  virtual void Flush() = 0;
  // One platform read call: returns at once with what is waiting (up to
  // count), else waits at most the read time limit; 0 when nothing came or
  // the read failed.
  virtual uint32_t ReadSome(uint8_t* buffer, uint32_t count) = 0;
  // Clears the port's error state after a failed or timed-out read.
  virtual void ClearError() = 0;

  // Who hears the dialogue on this port: the command lines sent and the
  // reply lines read. None for a port no run has opened.
  void ReportDialogueTo(RunObserver* observer) { dialogue_observer_ = observer; }
  RunObserver* dialogue_observer() const { return dialogue_observer_; }

 private:
  RunObserver* dialogue_observer_ = nullptr;
};

// Why the last open of a port failed, as far as the platform can tell.
enum class PortProblem { kNone, kMissing, kDenied, kBusy, kNotSerial, kOther };

struct PortOpenFailure {
  PortProblem problem = PortProblem::kNone;
  std::string reason;         // the operating system's words, e.g. "Permission denied"
  std::string allowed_group;  // kDenied: the group that may open the port, when known
};

// The port, or no port and why not (problem kNone only with a port).
struct OpenResult {
  std::unique_ptr<SerialConnection> port;
  PortOpenFailure failure;

  explicit operator bool() const { return port != nullptr; }
};

class SerialBackend {
 public:
  virtual ~SerialBackend() = default;

  // Opens the named port exclusively (the open fails while another program
  // holds it). No settings are applied.
  virtual OpenResult Open(const std::string& name) = 0;
  // The names probed for free ports, in list order.
  virtual std::vector<std::string> CandidatePortNames() = 0;
};

// The platform's serial ports. On POSIX time_scale stretches or shrinks the
// read and write time limits like every other wait (1 for a real
// instrument); on Windows a real port always keeps its own limits.
std::unique_ptr<SerialBackend> MakePlatformSerialBackend(double time_scale);

}  // namespace r7700
