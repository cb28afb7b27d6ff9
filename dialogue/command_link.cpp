#include "dialogue/command_link.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/clock.h"
#include "link/run_observer.h"
#include "link/status_log.h"
#include "link/text_format.h"

namespace r7700 {
namespace {

// The downloader's block buffer and a frame header: this many bytes end any
// block it may still be taking in.
constexpr uint32_t kDownloaderFillerBytes = 0x10000 + 9;
// Prompt waits after the filler, each failed one nudged.
constexpr PromptWaits kReturnPromptWaits{.waits = 3, .silent_misses = 0};

}  // namespace

bool ReplyLine::BeginsWith(std::string_view prefix) const {
  return std::strncmp(text.data(), prefix.data(), prefix.size()) == 0;
}

bool ReplyLine::Contains(std::string_view word) const {
  return view().find(word) != std::string_view::npos;
}

int32_t ReadReply(PortHandle port, ReplyLine& reply, uint32_t size) {
  reply.Clear();
  reply.result = ReadPortLine(port, reply.text.data(), size);
  RunObserver* observer = port->dialogue_observer();
  // A read that found nothing at all received no line. NUL bytes stored
  // in a complete line are part of it.
  if (observer == nullptr || (reply.result < 0 && reply.view().empty())) return reply.result;
  const size_t length = reply.result < 0 ? reply.view().size() : static_cast<size_t>(reply.result);
  observer->LineReceived(std::string_view(reply.text.data(), length));
  return reply.result;
}

bool ParseHexReply(const ReplyLine& reply, uint32_t* value) {
  // strtoull reads what "%lx" reads (blanks, sign, optional 0x) but has a
  // defined result on overflow. A number wider than 32 bits is refused rather
  // than cut: "10000c0f9" must not pass for the checksum c0f9.
  const char* start = reply.c_str();
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(start, &end, 16);
  if (end == start || parsed > 0xFFFFFFFFull) return false;
  *value = static_cast<uint32_t>(parsed);
  return true;
}

void SendCommand(PortHandle port, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string line = FormatV(format, args);
  va_end(args);
  SendText(port, line);
}

void SendText(PortHandle port, std::string_view text) {
  WritePort(port, text.data(), static_cast<uint32_t>(text.size()));
  RunObserver* observer = port->dialogue_observer();
  if (observer == nullptr) return;
  if (text.ends_with('\n')) text.remove_suffix(1);
  observer->CommandSent(text);
}

namespace {

// WaitForPrompt that also keeps the last refusal among the lines passed over.
int ScanForPrompt(PortHandle port, std::string_view prefix, ReplyLine* reply, ReplyLine* refusal) {
  if (reply != nullptr) reply->Clear();
  ReplyLine line;
  for (int read = 0; read < kPromptReadsPerWait; ++read) {
    ReadReply(port, line);
    if (line.BeginsWith(prefix)) {
      if (reply != nullptr) *reply = line;
      return 1;
    }
    if (refusal != nullptr && line.BeginsWith(MonitorErrorPrefix)) *refusal = line;
  }
  return 0;
}

}  // namespace

int WaitForPrompt(PortHandle port, std::string_view prefix, ReplyLine* reply) {
  return ScanForPrompt(port, prefix, reply, nullptr);
}

bool AwaitPromptNudging(PortHandle port, Clock& clock, PromptWaits waits, ReplyLine* refusal) {
  if (refusal != nullptr) refusal->Clear();
  for (int wait = 1; wait <= waits.waits; ++wait) {
    if (ScanForPrompt(port, MonitorPrompt, nullptr, refusal) == 1) return true;
    // The first misses may only be a slow monitor; later ones get a nudge.
    if (wait > waits.silent_misses) {
      SendText(port, Nudge);
      ShortPause(clock);
    }
  }
  return false;
}

int AwaitMonitorPrompt(PortHandle port, Clock& clock) {
  return AwaitPromptNudging(port, clock, {kPromptWaits, 1}) ? 0 : 3;
}

void LeaveDownloader(PortHandle port, Clock& clock) {
  const std::vector<uint8_t> filler(kDownloaderFillerBytes, 0xFF);
  WritePort(port, filler.data(), static_cast<uint32_t>(filler.size()));
  clock.Sleep(kQueryPauseMs);
  SendEndBlock(port);
  clock.Sleep(kQueryPauseMs);
}

bool ReturnToMonitor(PortHandle port, Clock& clock) {
  SendEndBlock(port);
  SendText(port, Nudge);
  clock.Sleep(kQueryPauseMs);
  bool prompted = WaitForPrompt(port, MonitorPrompt, nullptr) == 1;
  if (!prompted) {
    LeaveDownloader(port, clock);
    prompted = AwaitPromptNudging(port, clock, kReturnPromptWaits);
  }
  // Both the EndBlock and the nudge may have been answered with a prompt.
  ReplyLine line;
  for (int read = 0; prompted && read < kPromptReadsPerWait && ReadReply(port, line) > 0; ++read) {
  }
  return prompted;
}

void SendWord32(PortHandle port, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    const uint8_t byte = static_cast<uint8_t>((value >> shift) & 0xFFu);
    WritePort(port, &byte, 1);
  }
}

void SendLoadBlockHeader(PortHandle port, uint32_t length, uint32_t address) {
  WritePort(port, &kFrameStart, 1);
  SendWord32(port, length);
  SendWord32(port, address);
}

void SendLoadBlock(PortHandle port, const uint8_t* data, uint32_t length, uint32_t address) {
  SendLoadBlockHeader(port, length, address);
  WritePort(port, data, length);
}

void SendEndBlock(PortHandle port) {
  WritePort(port, &kFrameStart, 1);
  SendWord32(port, 0);
}

uint8_t BlockXor(const uint8_t* data, uint32_t length) {
  uint8_t x = 0;
  for (uint32_t i = 0; i < length; ++i) x ^= data[i];
  return x;
}

}  // namespace r7700
