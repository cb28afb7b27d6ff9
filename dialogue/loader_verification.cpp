#include "dialogue/loader_verification.h"

#include "dialogue/command_link.h"
#include "link/checksum.h"
#include "link/status_log.h"
#include "link/text_format.h"

namespace r7700 {
namespace {

constexpr std::string_view kRamLoad = "ramload\n";
constexpr const char* kChecksumQuery = "crc %lx %lx\n";

void SendTestLoadChecksumQuery(PortHandle port) {
  SendCommand(port, kChecksumQuery, static_cast<unsigned long>(kTestLoadAddress),
              static_cast<unsigned long>(kTestPatternBytes));
}

// The monitor may answer "ramload" with its prompt instead of the banner;
// then the command is sent again.
bool AwaitDownloader(RunContext& run, PortHandle port) {
  ReplyLine reply;
  for (int attempt = 0; attempt < kBannerTries; ++attempt) {
    ReadReply(port, reply);
    if (reply.BeginsWith(DownloaderBanner)) return true;
    if (reply.BeginsWith(MonitorPrompt)) {
      SendText(port, kRamLoad);
      run.clock.Sleep(kLoaderStartPauseMs);
    } else {
      LogLine(run.observer, "unex: %s\n", reply.c_str());
    }
  }
  return false;
}

// One LoadBlock, sent in pieces so the progress bar moves, and its
// acknowledgement. True when the acknowledgement matched.
bool LoadPattern(RunContext& run, PortHandle port, const TestPattern& pattern) {
  SendLoadBlockHeader(port, kTestPatternBytes, kTestLoadAddress);
  SetProgressCaption(run.observer, RunStage::kTestLoad, "Checking Step1 ...");
  ShowProgress(run.observer, run.progress, 0, kTestPatternBytes, ProgressUnit::kTicks);
  for (uint32_t offset = 0; offset < kTestPatternBytes; offset += kTestPieceBytes) {
    WritePort(port, pattern.bytes.data() + offset, kTestPieceBytes);
    ShowProgress(run.observer, run.progress, kTestPieceBytes, kTestPatternBytes,
                 ProgressUnit::kTicks);
  }
  ShortPause(run.clock);
  const uint8_t expected = BlockXor(pattern.bytes.data(), kTestPatternBytes);
  run.clock.Sleep(kAckPauseMs);
  // A single read: a missing acknowledgement reads as 0x00, which is also
  // what this pattern's XOR is; the checksum query below still catches it.
  uint8_t ack = 0;
  FrameEvent frame{FrameRegion::kTestLoad, kTestLoadAddress, kTestPatternBytes, {}};
  if (ReadPortBytes(port, &ack, 1) == 1) frame.ack = ack;
  run.observer.Frame(frame);
  return ack == expected;
}

// Reads until the checksum line; leaves in reply the accepted line,
// or what the last of the 16 reads left. A prompt in place of the checksum
// resends the query and counts twice; a line arriving only after the third
// read is answered with a nudge instead of being taken.
void ReadChecksumReply(PortHandle port, ReplyLine& reply) {
  int counter = 0;
  while (counter < kChecksumReads) {
    const int32_t result = ReadReply(port, reply);
    ++counter;
    if (result == -1) continue;
    if (reply.BeginsWith(MonitorPrompt)) {
      SendTestLoadChecksumQuery(port);
      ++counter;
    } else if (counter > kChecksumReadsBeforeNudge) {
      SendText(port, Nudge);
    } else if (!reply.view().empty()) {
      return;
    }
  }
}

}  // namespace

void TestPattern::Fill() {
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 256);
}

void QueryMonitorVersion(RunContext& run, PortHandle port, ReplyLine& reply) {
  SendText(port, "ver\n");
  ShortPause(run.clock);
  // Cleared in full: a reply shorter than nine characters then shows a NUL
  // at the series index, not the stale bytes of an earlier line.
  reply.text.fill('\0');
  ReadReply(port, reply);
  WaitForPrompt(port, MonitorPrompt, nullptr);
}

int CheckMonitorVersion(RunContext& run, PortHandle port) {
  ReplyLine reply;
  QueryMonitorVersion(run, port, reply);
  run.monitor_version = std::string(reply.view());
  const auto series = static_cast<int8_t>(reply.text[kVersionSeriesIndex]);
  // Signed compare: bytes 0x80 to 0xFF count as supported too.
  if (series > kLastSupportedSeries) return -1;

  SendText(port, "enh\n");
  ShortPause(run.clock);
  WaitForPrompt(port, MonitorPrompt, nullptr);
  SendText(port, "sec_enh\n");
  ShortPause(run.clock);
  WaitForPrompt(port, MonitorPrompt, nullptr);
  return 0;
}

int VerifyTestLoad(RunContext& run, PortHandle port) {
  TestPattern pattern;
  pattern.Fill();
  LogLine(run.observer, "Check download...\n");
  SendText(port, kRamLoad);
  run.clock.Sleep(kLoaderStartPauseMs);
  if (!AwaitDownloader(run, port)) return kNoDownloader;

  if (!LoadPattern(run, port, pattern)) {
    LogLine(run.observer, "Transmission error!\n");
    return kTestLoadMismatch;
  }
  SendEndBlock(port);
  run.observer.Frame(EndFrame(FrameRegion::kTestLoad));
  ShortPause(run.clock);
  // After the end block the monitor may need a while: only the third to
  // sixth failed waits are each followed by a nudge.
  if (!AwaitPromptNudging(port, run.clock, {kPromptWaitsAfterLoad, kSilentWaitsBeforeNudge})) {
    LogLine(run.observer, "download failed\n");
    return kNoPromptAfterLoad;
  }

  const uint32_t expected = ChecksumBlock(pattern.bytes.data(), kTestPatternBytes);
  SendTestLoadChecksumQuery(port);
  ShortPause(run.clock);
  run.clock.Sleep(kChecksumPauseMs);
  ReplyLine reply;
  ReadChecksumReply(port, reply);
  uint32_t reported = 0;
  if (!ParseHexReply(reply, &reported) || reported != expected) {
    LogLine(run.observer, "Checksum wrong!!!\n");
    return kTestLoadMismatch;
  }
  // After the checksum every failed wait is followed by a nudge.
  return AwaitPromptNudging(port, run.clock, {kPromptWaitsAfterLoad, 0}) ? kTestLoadOk
                                                                         : kNoPromptAfterChecksum;
}

int VerifyTestDump(RunContext& run, PortHandle port) {
  uint32_t address = kTestLoadAddress;
  uint32_t row_start = 0;
  SetProgressCaption(run.observer, RunStage::kTestDump, "Checking Step2 ...");
  ShowProgress(run.observer, run.progress, 0, kDumpRows, ProgressUnit::kTicks);
  ReplyLine reply;
  for (int row = 0; row < kDumpRows; ++row) {
    SendCommand(port, "dm %lx\n", static_cast<unsigned long>(address));
    ShortPause(run.clock);
    ReadReply(port, reply);
    ShowProgress(run.observer, run.progress, 1, kDumpRows, ProgressUnit::kTicks);
    std::string expected;
    for (uint32_t i = 0; i < kDumpRowBytes; ++i) expected += Format("%02X ", row_start + i);
    row_start += kDumpRowBytes;
    if (!reply.BeginsWith(expected)) return kDumpMismatch;
    WaitForPrompt(port, MonitorPrompt, nullptr);
    address += kDumpRowBytes;
  }
  return kDumpOk;
}

}  // namespace r7700
