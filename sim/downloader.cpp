// The monitor's downloader: LoadBlock frames (0x4A, big-endian length,
// big-endian address, data) answered with the XOR of the data; an EndBlock
// (0x4A and a zero length) hands back to the monitor. "ramload" writes RAM,
// "flashload" programs flash; a block aimed elsewhere is swallowed and
// refused with an error line instead of its acknowledgement.
#include <string>

#include "sim/core.h"

namespace r7700::sim {
namespace {

constexpr uint8_t kFrameStart = 0x4A;
constexpr uint32_t kMaxBlockBytes = 0x10000;  // the downloader's block buffer
constexpr int64_t kAckDelayUs = 2000;
constexpr int64_t kMonitorReturnUs = 1000;
constexpr uint8_t kGarbledBit = 0x01;  // as line noise would

void FinishBlock(Core& core, int64_t at_us) {
  DownloaderState& state = core.downloader;
  state.phase = DownloaderState::Phase::kHunt;
  if (state.refused) {
    SayLine(core, "Download error: address out of range", at_us + kAckDelayUs);
    return;
  }
  const Faults& faults = core.config.faults;
  if (faults.no_ack) return;
  uint8_t ack = state.xor_value;
  if (state.block == faults.wrong_ack_on_block) ack ^= 0xFF;
  core.line.Send(std::string(1, static_cast<char>(ack)), at_us + kAckDelayUs);
}

void StartData(Core& core, int64_t at_us) {
  DownloaderState& state = core.downloader;
  state.block = core.load_blocks++;
  if (state.length > kMaxBlockBytes) {
    // The data cannot be held; the downloader looks for the next frame.
    state.phase = DownloaderState::Phase::kHunt;
    SayLine(core, "Download error: block too long", at_us + kAckDelayUs);
    return;
  }
  state.refused =
      state.to_flash ? !InFlash(state.address, state.length) : !InRam(state.address, state.length);
  state.received = 0;
  state.xor_value = 0;
  state.phase = DownloaderState::Phase::kData;
}

void StoreDataByte(Core& core, uint8_t byte, int64_t at_us) {
  DownloaderState& state = core.downloader;
  const uint32_t address = state.address + state.received;
  if (address == core.config.faults.garbled_byte_address) byte ^= kGarbledBit;
  if (!state.refused) {
    if (state.to_flash) {
      core.memory.Program(address, byte);
      core.boot_writes.Programmed(address);
      if (InFirmwareRegion(address)) ++core.firmware_bytes_programmed;
    } else {
      core.memory.Store(address, byte);
    }
  }
  state.xor_value ^= byte;
  if (++state.received == state.length) FinishBlock(core, at_us);
}

}  // namespace

void StartDownloader(Core& core, bool to_flash) {
  core.agent = Agent::kDownloader;
  core.downloader = DownloaderState{};
  core.downloader.to_flash = to_flash;
}

void HearDownloaderByte(Core& core, uint8_t byte, int64_t at_us) {
  DownloaderState& state = core.downloader;
  using Phase = DownloaderState::Phase;
  switch (state.phase) {
    case Phase::kHunt:
      // Anything before a frame start is line junk the downloader skips.
      if (byte == kFrameStart) {
        state.phase = Phase::kLength;
        state.field_bytes = 0;
        state.length = 0;
      }
      return;
    case Phase::kLength:
      state.length = (state.length << 8) | byte;
      if (++state.field_bytes < 4) return;
      if (state.length == 0) {  // EndBlock: back to the monitor
        core.agent = Agent::kMonitor;
        SayPrompt(core, at_us + kMonitorReturnUs);
        return;
      }
      state.phase = Phase::kAddress;
      state.field_bytes = 0;
      state.address = 0;
      return;
    case Phase::kAddress:
      state.address = (state.address << 8) | byte;
      if (++state.field_bytes == 4) StartData(core, at_us);
      return;
    case Phase::kData:
      StoreDataByte(core, byte, at_us);
      return;
  }
}

}  // namespace r7700::sim
