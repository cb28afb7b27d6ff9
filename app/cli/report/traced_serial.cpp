#include "app/cli/report/traced_serial.h"

#include "dialogue/command_link.h"
#include "link/forwarding_connection.h"

namespace r7700::cli {
namespace {

constexpr int kLengthBytes = 4;
constexpr int kAddressBytes = 4;

// Reads the bytes written as lines and frames, and the bytes read as lines,
// one acknowledgement byte answering the frame before it.
class TracedConnection : public ForwardingConnection {
 public:
  // The base keeps a reference to the port that owned_ then holds.
  TracedConnection(std::unique_ptr<SerialConnection> inner, RunEvents& events)
      : ForwardingConnection(*inner), owned_(std::move(inner)), events_(events) {}
  ~TracedConnection() override { EndReceivedLine(); }

  uint32_t WriteSome(const uint8_t* data, uint32_t length) override {
    const uint32_t written = ForwardingConnection::WriteSome(data, length);
    // A reply line cut off by a time limit ends where the next command begins.
    if (written > 0) EndReceivedLine();
    for (uint32_t i = 0; i < written; ++i) Sent(data[i]);
    return written;
  }

  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override {
    const uint32_t got = ForwardingConnection::ReadSome(buffer, count);
    for (uint32_t i = 0; i < got; ++i) Received(buffer[i]);
    return got;
  }

 private:
  void Sent(uint8_t byte) {
    if (header_bytes_ >= 0) return FrameHeaderByte(byte);
    if (data_left_ > 0) {
      if (--data_left_ == 0) ack_awaited_ = true;
      return;
    }
    ack_awaited_ = false;
    if (byte == kFrameStart && sent_line_.empty()) {
      header_bytes_ = 0;
      length_ = 0;
    } else if (byte == '\n') {
      events_.Emit(&RunEventSink::Sent, std::string_view(sent_line_));
      sent_line_.clear();
    } else {
      sent_line_.push_back(static_cast<char>(byte));
    }
  }

  void FrameHeaderByte(uint8_t byte) {
    if (header_bytes_ < kLengthBytes) length_ = (length_ << 8) | byte;
    ++header_bytes_;
    // The end block is the length 0 alone, with no address and no acknowledgement.
    if (header_bytes_ == kLengthBytes && length_ == 0) {
      header_bytes_ = -1;
      return;
    }
    if (header_bytes_ < kLengthBytes + kAddressBytes) return;
    header_bytes_ = -1;
    data_left_ = length_;
  }

  void Received(uint8_t byte) {
    if (ack_awaited_) {
      ack_awaited_ = false;
      return;
    }
    if (byte == '\r') return;
    if (byte != '\n') {
      received_line_.push_back(static_cast<char>(byte));
      return;
    }
    events_.Emit(&RunEventSink::Received, std::string_view(received_line_));
    received_line_.clear();
  }

  void EndReceivedLine() {
    if (received_line_.empty()) return;
    events_.Emit(&RunEventSink::Received, std::string_view(received_line_));
    received_line_.clear();
  }

  std::unique_ptr<SerialConnection> owned_;
  RunEvents& events_;
  std::string sent_line_;
  std::string received_line_;
  uint32_t length_ = 0;    // of the frame being sent
  int header_bytes_ = -1;  // header bytes of the frame being sent; -1: none
  uint32_t data_left_ = 0;
  bool ack_awaited_ = false;  // a frame's data is out, its acknowledgement not yet in
};

}  // namespace

OpenResult TracedSerialBackend::Open(const std::string& name) {
  OpenResult opened = inner_.Open(name);
  if (opened) opened.port = std::make_unique<TracedConnection>(std::move(opened.port), events_);
  return opened;
}

}  // namespace r7700::cli
