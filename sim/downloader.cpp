// The monitor's downloader: LoadBlock frames (0x4A, big-endian length,
// big-endian address, data) answered with the XOR of the data; an EndBlock
// (0x4A and a zero length) hands back to the monitor. "ramload" writes RAM,
// "flashload" programs flash; a block aimed elsewhere is swallowed and
// refused with an error line instead of its acknowledgement. A block is
// taken into the buffer first and programmed when complete; the
// acknowledgement follows the programming.
#include <string>

#include "sim/core.h"
#include "sim/pacing.h"

namespace r7700::sim {
namespace {

constexpr uint8_t kFrameStart = 0x4A;
constexpr uint32_t kMaxBlockBytes = 0x10000;  // the downloader's block buffer
constexpr int64_t kErrorReplyUs = 2000;
constexpr int64_t kMonitorReturnUs = 1000;
constexpr uint8_t kGarbledBit = 0x01;  // as line noise would

void Store(Core& core) {
  const DownloaderState& state = core.downloader;
  for (uint32_t i = 0; i < state.length; ++i) {
    const uint32_t address = state.address + i;
    if (state.to_flash) {
      core.memory.Program(address, state.data[i]);
      core.boot_writes.Programmed(address);
      if (InFirmwareRegion(address)) ++core.firmware_bytes_programmed;
    } else {
      core.memory.Store(address, state.data[i]);
    }
  }
}

void FinishBlock(Core& core, int64_t at_us) {
  DownloaderState& state = core.downloader;
  state.phase = DownloaderState::Phase::kHunt;
  if (state.refused) {
    SayLine(core, "Download error: address out of range", at_us + kErrorReplyUs);
    return;
  }
  Store(core);
  const int64_t ack_us = BlockAckTime(core, at_us, state.length, state.to_flash);
  const Faults& faults = core.config.faults;
  if (faults.no_ack) return;
  uint8_t ack = state.xor_value;
  if (state.block == faults.wrong_ack_on_block) ack ^= 0xFF;
  core.line.Send(std::string(1, static_cast<char>(ack)), ack_us);
}

void StartData(Core& core, int64_t at_us) {
  DownloaderState& state = core.downloader;
  state.block = core.load_blocks++;
  if (state.length > kMaxBlockBytes) {
    // The data cannot be held; the downloader looks for the next frame.
    state.phase = DownloaderState::Phase::kHunt;
    SayLine(core, "Download error: block too long", at_us + kErrorReplyUs);
    return;
  }
  state.refused =
      state.to_flash ? !InFlash(state.address, state.length) : !InRam(state.address, state.length);
  state.received = 0;
  state.data.assign(state.refused ? 0 : state.length, 0);
  state.xor_value = 0;
  state.phase = DownloaderState::Phase::kData;
}

void StoreDataByte(Core& core, uint8_t byte, int64_t at_us) {
  DownloaderState& state = core.downloader;
  const uint32_t address = state.address + state.received;
  if (address == core.config.faults.garbled_byte_address) byte ^= kGarbledBit;
  if (!state.refused) state.data[state.received] = byte;
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
