#include "dialogue/monitor_reads.h"

#include <algorithm>

#include "dialogue/command_link.h"
#include "link/status_log.h"

namespace r7700 {
namespace {

constexpr uint32_t kChecksumValueChars = 4;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// What a reply line is to a query that waits for one value line.
enum class ReplyKind { kPrompt, kRefusal, kOther };

ReplyKind KindOf(const ReplyLine& line) {
  if (line.BeginsWith(MonitorPrompt)) return ReplyKind::kPrompt;
  if (line.BeginsWith(MonitorErrorPrefix)) return ReplyKind::kRefusal;
  return ReplyKind::kOther;
}

// How one asking of a read-only query ended.
enum class Answer { kGood, kRefused, kGarbledOrLost };

Answer AskDumpRow(RunContext& run, PortHandle port, uint32_t address, uint8_t* row) {
  SendCommand(port, "dm %lx\n", static_cast<unsigned long>(address));
  ShortPause(run.clock);
  ReplyLine line;
  bool garbled = false;
  for (int read = 0; read < kQueryReplyReads; ++read) {
    ReadReply(port, line);
    if (ParseDumpRow(line.view(), row)) {
      return WaitForPrompt(port, MonitorPrompt, nullptr) == 1 ? Answer::kGood
                                                              : Answer::kGarbledOrLost;
    }
    const ReplyKind kind = KindOf(line);
    if (kind == ReplyKind::kRefusal) {
      WaitForPrompt(port, MonitorPrompt, nullptr);
      return Answer::kRefused;
    }
    // A prompt here is a stale one from an earlier nudge: the row may follow,
    // unless a line that was no row came first: then it was the row, garbled.
    if (kind == ReplyKind::kPrompt && garbled && run.policy.repair) return Answer::kGarbledOrLost;
    garbled = garbled || (kind == ReplyKind::kOther && !line.view().empty());
  }
  return Answer::kGarbledOrLost;
}

// With repair a query is asked again when its reply came garbled, was lost
// or was refused (its command may have arrived garbled): it only reads.
int QueryAsks(const RunContext& run) {
  return run.policy.repair ? kQueryAsks : 1;
}

bool ReadDumpRow(RunContext& run, PortHandle port, uint32_t address, uint8_t* row) {
  for (int ask = 0; ask < QueryAsks(run); ++ask) {
    if (AskDumpRow(run, port, address, row) == Answer::kGood) return true;
  }
  return false;
}

bool ParseChecksumValue(const ReplyLine& line, uint16_t* value) {
  if (line.view().size() != kChecksumValueChars) return false;
  uint16_t parsed = 0;
  for (const char c : line.view()) {
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    parsed = static_cast<uint16_t>(parsed * 16 + digit);
  }
  *value = parsed;
  return true;
}

void SendChecksumQuery(RunContext& run, PortHandle port, uint32_t address, uint32_t byte_count,
                       uint32_t wait_ms) {
  SendCommand(port, "crc %lx %lx\n", static_cast<unsigned long>(address),
              static_cast<unsigned long>(byte_count) + 1);
  run.clock.Sleep(wait_ms);
}

std::optional<uint16_t> AskChecksum(RunContext& run, PortHandle port, uint32_t address,
                                    uint32_t byte_count, uint32_t wait_ms) {
  SendChecksumQuery(run, port, address, byte_count, wait_ms);
  int repeats = 0;
  ReplyLine line;
  for (int read = 0; read < kQueryReplyReads; ++read) {
    ReadReply(port, line);
    uint16_t value = 0;
    if (ParseChecksumValue(line, &value)) {
      if (WaitForPrompt(port, MonitorPrompt, nullptr) != 1) return std::nullopt;
      return value;
    }
    const ReplyKind kind = KindOf(line);
    if (kind == ReplyKind::kRefusal) {
      WaitForPrompt(port, MonitorPrompt, nullptr);
      return std::nullopt;
    }
    if (kind == ReplyKind::kPrompt) {
      if (repeats == kQueryChecksumRepeats) return std::nullopt;
      ++repeats;
      SendChecksumQuery(run, port, address, byte_count, wait_ms);
      read = 0;
    }
  }
  return std::nullopt;
}

}  // namespace

bool ParseDumpRow(std::string_view line, uint8_t* row) {
  if (line.size() < kDumpRowHexChars) return false;
  for (uint32_t i = 0; i < kDumpRowBytes; ++i) {
    const int high = HexDigit(line[3 * i]);
    const int low = HexDigit(line[3 * i + 1]);
    if (high < 0 || low < 0 || line[3 * i + 2] != ' ') return false;
    row[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

bool ReadMonitorMemory(RunContext& run, PortHandle port, uint32_t address, uint8_t* bytes,
                       uint32_t count) {
  uint8_t row[kDumpRowBytes];
  for (uint32_t done = 0; done < count; done += kDumpRowBytes) {
    if (!ReadDumpRow(run, port, address + done, row)) return false;
    std::copy_n(row, std::min(kDumpRowBytes, count - done), bytes + done);
  }
  return true;
}

std::optional<uint16_t> QueryMonitorChecksum(RunContext& run, PortHandle port, uint32_t address,
                                             uint32_t byte_count, uint32_t wait_ms) {
  for (int ask = 0; ask < QueryAsks(run); ++ask) {
    const std::optional<uint16_t> value = AskChecksum(run, port, address, byte_count, wait_ms);
    if (value) return value;
  }
  return std::nullopt;
}

}  // namespace r7700
