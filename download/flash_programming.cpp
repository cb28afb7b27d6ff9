#include "download/flash_programming.h"

#include "dialogue/monitor_reads.h"
#include "download/instrument_pacing.h"
#include "link/status_log.h"
#include "link/text_format.h"

namespace r7700 {

long ImageFile::Size() {
  if (file_ == nullptr) return 0;
  const long position = std::ftell(file_);
  if (position < 0 || std::fseek(file_, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(file_);
  std::fseek(file_, position, SEEK_SET);
  return size < 0 ? 0 : size;
}

uint32_t ImageFile::Read(uint8_t* buffer, uint32_t capacity) {
  if (file_ == nullptr) return 0;
  return static_cast<uint32_t>(std::fread(buffer, 1, capacity, file_));
}

void ImageFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

namespace {

// A refusal among the lines before the prompt means the monitor left memory
// as it was: the write did not happen.
bool AwaitWriteNotRefused(RunContext& run, PortHandle port, bool* prompted,
                          PromptWaits waits = {kPromptWaits, 1}) {
  ReplyLine refusal;
  const bool prompt = AwaitPromptNudging(port, run.clock, waits, &refusal);
  if (prompted != nullptr) *prompted = prompt;
  if (refusal.view().empty()) return true;
  LogLine(run.observer, "Refused: %s\n", refusal.c_str());
  return false;
}

// An erase or a marker write counts as done only when the monitor's prompt
// says so: without it nothing tells that the command was even heard, and a
// run that went on would wait out every later step on a dead line.
bool AwaitWriteAccepted(RunContext& run, PortHandle port, PromptWaits waits = {kPromptWaits, 1}) {
  bool prompted = false;
  if (!AwaitWriteNotRefused(run, port, &prompted, waits)) return false;
  if (!prompted) LogLine(run.observer, "No prompt!\n");
  return prompted;
}

bool ReadBackImageMarker(RunContext& run, PortHandle port, uint32_t marker_address,
                         const MarkerBytes& marker) {
  MarkerBytes read{};
  if (ReadMonitorMemory(run, port, marker_address, read.data(), kMarkerBytes) && read == marker) {
    return true;
  }
  LogLine(run.observer, "Marker not confirmed!\n");
  return false;
}

}  // namespace

bool ClearImageMarker(RunContext& run, PortHandle port, uint32_t marker_address,
                      uint32_t extra_first_pause_ms) {
  run.reach = InstrumentReach::kFlashChanged;
  SendCommand(port, "pf %lx %x\n", static_cast<unsigned long>(marker_address), 0u);
  if (extra_first_pause_ms != 0) PauseForReply(run, extra_first_pause_ms);
  PauseForReply(run, kMarkerClearPauseMs);
  if (!AwaitWriteAccepted(run, port)) return false;
  SendCommand(port, "pf %lx %x\n", static_cast<unsigned long>(marker_address + 1), 0u);
  PauseForReply(run, kMarkerClearPauseMs);
  return AwaitWriteAccepted(run, port);
}

void SendErase(RunContext& run, PortHandle port, uint32_t base, uint32_t length) {
  SendCommand(port, "erase %lx %lx %lx\n", static_cast<unsigned long>(base),
              static_cast<unsigned long>(length), static_cast<unsigned long>(kEraseBlockBytes));
  PauseForReply(run, kShortPauseMs);
}

bool WaitOutErase(RunContext& run, PortHandle port, int ticks) {
  ShowProgress(run.observer, run.progress, 0, ticks, ProgressUnit::kTicks);
  if (run.policy.instrument_paced) {
    // The prompt ends the erase: taken as it comes, unanswered for at least
    // the ticks' time, then waited for as after the ticks.
    const int paced = PacedEraseWaits(ticks);
    const bool accepted = AwaitWriteAccepted(run, port, {paced + kPromptWaits, paced + 1});
    ShowProgress(run.observer, run.progress, ticks, ticks, ProgressUnit::kTicks);
    return accepted;
  }
  // The monitor reports nothing while it erases; the clock stands in for
  // polling and the prompt wait afterwards absorbs any slower erase.
  for (int tick = 0; tick < ticks; ++tick) {
    run.clock.Sleep(kEraseTickMs);
    ShowProgress(run.observer, run.progress, 1, ticks, ProgressUnit::kTicks);
  }
  return AwaitWriteAccepted(run, port);
}

namespace {

bool AwaitFlashDownloader(RunContext& run, PortHandle port, ReplyLine& last) {
  static constexpr std::string_view kFlashload = "flashload\n";
  SendText(port, kFlashload);
  PauseForReply(run, kShortPauseMs);
  for (int attempt = 0; attempt < kDownloaderTries; ++attempt) {
    ReadReply(port, last);
    if (last.BeginsWith(DownloaderBanner)) return true;
    if (last.BeginsWith(MonitorPrompt)) {
      // The monitor was not ready for the command and only showed its prompt.
      LogLine(run.observer, "redo cmd fload >%s<\n", last.c_str());
      SendText(port, kFlashload);
      ShortPause(run.clock);
      run.clock.Sleep(kFlashloadRetryPauseMs);
    } else {
      LogLine(run.observer, "unex: %s\n", last.c_str());
    }
  }
  return false;
}

}  // namespace

bool StartDownloader(RunContext& run, PortHandle port, ReplyLine& last) {
  const int starts = run.policy.repair ? kDownloaderStarts : 1;
  for (int start = 1; !AwaitFlashDownloader(run, port, last); ++start) {
    // The banner may only have come garbled, with the downloader running.
    if (start == starts || run.Cancelled() || !ReturnToMonitor(port, run.clock)) return false;
    LogLine(run.observer, "Downloader again (%d of %d)\n", start + 1, starts);
  }
  return true;
}

void SendBlock(RunContext& run, PortHandle port, const uint8_t* data, uint32_t length,
               uint32_t address) {
  SendLoadBlock(port, data, length, address);
  PauseForReply(run, kShortPauseMs);
}

namespace {

bool ReadBlockAck(RunContext& run, PortHandle port, uint8_t* ack) {
  if (run.policy.instrument_paced) return ReadPacedAck(port, ack);
  if (ReadPortBytes(port, ack, 1) == 1) return true;
  for (int retry = 0; retry < kAckRetries; ++retry) {
    ShortPause(run.clock);
    if (ReadPortBytes(port, ack, 1) == 1) return true;
  }
  return false;
}

}  // namespace

bool AwaitBlockAck(RunContext& run, PortHandle port, FrameEvent frame, uint8_t* ack) {
  const bool answered = ReadBlockAck(run, port, ack);
  if (answered) frame.ack = *ack;
  run.observer.Frame(frame);
  return answered;
}

void EndTransfer(RunContext& run, PortHandle port, FrameRegion region) {
  SendEndBlock(port);
  run.observer.Frame(EndFrame(region));
  PauseForReply(run, kShortPauseMs);
  AwaitMonitorPrompt(port, run.clock);
}

void SendRegionChecksumQuery(RunContext& run, PortHandle port, const FlashSpan& span,
                             std::string& command) {
  command = Format("crc %lx %lx\n", static_cast<unsigned long>(span.base),
                   static_cast<unsigned long>(span.bytes + 1));
  SendText(port, command);
  PauseForReply(run, kShortPauseMs);
}

ChecksumReply JudgeChecksumLine(RunContext& run, const ReplyLine& line, uint32_t checksum,
                                const char* wrong_text) {
  uint32_t value = 0;
  if (line.view().size() != 4 || !ParseHexReply(line, &value)) return ChecksumReply::kMissing;
  if (value != checksum) {
    LogLine(run.observer, "%s", wrong_text);
    return ChecksumReply::kWrong;
  }
  LogLine(run.observer, "Checksum ok!\n");
  return ChecksumReply::kConfirmed;
}

bool WriteImageMarker(RunContext& run, PortHandle port, uint32_t marker_address, uint32_t checksum,
                      bool log_missing_prompts) {
  LogLine(run.observer, "Writing magic & checksum!\n");
  const MarkerBytes marker = ImageMarker(checksum);
  bool confirmed = true;
  for (uint32_t i = 0; i < kMarkerBytes; ++i) {
    SendCommand(port, "pf %lx %x\n", static_cast<unsigned long>(marker_address + i),
                static_cast<unsigned>(marker[i]));
    bool prompted = false;
    if (!AwaitWriteNotRefused(run, port, &prompted)) confirmed = false;
    if (prompted) continue;
    confirmed = false;
    if (log_missing_prompts) LogLine(run.observer, "pf%u\n", static_cast<unsigned>(i + 1));
  }
  return confirmed && ReadBackImageMarker(run, port, marker_address, marker);
}

}  // namespace r7700
