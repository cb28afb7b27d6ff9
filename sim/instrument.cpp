#include "sim/instrument.h"

#include <algorithm>
#include <utility>

#include "sim/core.h"
#include "sim/line_timing.h"
#include "sim/pacing.h"

namespace r7700::sim {
namespace {

// The command interpreters keep at most this many characters of a line.
constexpr size_t kMaxCommandChars = 200;
constexpr uint8_t kNoiseBit = 0x01;  // line noise flips one bit of a byte
constexpr int64_t kMonitorErrorReplyUs = 1000;
constexpr int64_t kApplicationErrorReplyUs = 30000;

void HearCommandByte(Core& core, uint8_t byte, int64_t at_us) {
  if (byte == '\r' && core.config.lenient) return;  // a terminal's CR LF is as good as LF
  if (byte != '\n') {
    if (core.pending_line.size() < kMaxCommandChars) {
      core.pending_line.push_back(static_cast<char>(byte));
    } else {
      core.line_overflow = true;
    }
    return;
  }
  std::string line = std::exchange(core.pending_line, {});
  const bool overflow = std::exchange(core.line_overflow, false);
  for (const auto& [from, to] : core.config.faults.garbled_commands) {
    if (line == from) {
      line = to;
      break;
    }
  }
  if (core.commands.size() < kMaxCommandsKept) {
    core.commands.push_back(line);
  } else {
    ++core.commands_not_kept;
  }
  if (overflow) {
    if (core.agent == Agent::kApplication) {
      SayLine(core, "ERROR<END>", at_us + kApplicationErrorReplyUs);
    } else {
      SayLine(core, "Error: line too long", at_us + kMonitorErrorReplyUs);
      SayPrompt(core, at_us + kMonitorErrorReplyUs);
    }
    return;
  }
  if (core.agent == Agent::kApplication) {
    RunApplicationCommand(core, line, at_us);
  } else {
    RunMonitorCommand(core, line, at_us);
  }
}

// The UART has decoded a byte: the agent takes it, unless it is deaf.
void TakeByte(Core& core, uint8_t byte, int64_t arrival_us, int32_t pc_baud) {
  if (pc_baud != core.line.BaudAt(arrival_us)) byte = Garble(byte);
  const int64_t at_us = core.agent == Agent::kStopped ? kLost : HearingTime(core, arrival_us);
  if (at_us == kLost) return;
  if (core.agent == Agent::kDownloader) {
    HearDownloaderByte(core, byte, at_us);
  } else {
    HearCommandByte(core, byte, at_us);
  }
}

void HearByte(Core& core, uint8_t byte, int64_t arrival_us, int32_t pc_baud) {
  const Faults& faults = core.config.faults;
  const bool unplugs = faults.unplug_after_bytes >= 0;
  if (unplugs && core.received_bytes >= faults.unplug_after_bytes) return;
  ++core.received_bytes;
  if (faults.noise_every_n_bytes > 0 && core.received_bytes % faults.noise_every_n_bytes == 0) {
    byte ^= kNoiseBit;
  }
  const ByteFate fate = core.noise_to_instrument.Carry(byte);
  for (int copy = 0; copy < fate.copies; ++copy) TakeByte(core, fate.value, arrival_us, pc_baud);
  if (unplugs && core.received_bytes == faults.unplug_after_bytes) core.line.Cut(arrival_us);
}

}  // namespace

Core::Core(const InstrumentConfig& instrument_config)
    : config(instrument_config),
      line(instrument_config.initial_baud,
           NoisyDirection(instrument_config.faults.line_noise.to_pc,
                          instrument_config.faults.line_noise.seed, Direction::kToPc)),
      agent(instrument_config.in_monitor ? Agent::kMonitor : Agent::kApplication),
      banners_to_withhold(instrument_config.faults.prompt_instead_of_banner),
      checksums_to_withhold(instrument_config.faults.prompt_instead_of_checksum),
      checksums_to_garble(instrument_config.faults.garbled_checksum_replies),
      stale_end_pending(instrument_config.faults.stale_end_line),
      noise_to_instrument(instrument_config.faults.line_noise.to_instrument,
                          instrument_config.faults.line_noise.seed, Direction::kToInstrument) {
  if (config.factory_boot_sector) InstallFactoryBootSectors(memory);
  if (config.faults.silent) line.Mute();
  if (config.faults.unplug_after_bytes == 0) line.Cut(0);
}

void SayLine(Core& core, std::string_view text, int64_t at_us) {
  std::string bytes(text);
  bytes += "\r\n";
  core.line.Send(bytes, at_us);
}

void SayPrompt(Core& core, int64_t at_us) {
  SayLine(core, "R7700>", at_us);
}

Instrument::Instrument(InstrumentConfig config) : core_(std::make_unique<Core>(config)) {}

Instrument::~Instrument() = default;

void Instrument::Receive(const uint8_t* data, size_t length, int64_t now_us, int32_t pc_baud) {
  Core& core = *core_;
  core.latest_us = std::max(core.latest_us, now_us);
  if (pc_baud <= 0) return;  // a line with no speed carries nothing
  // The PC's UART sends one byte after the other, never two at once.
  const int64_t start = std::max(now_us, core.input_free_us);
  for (size_t i = 0; i < length; ++i) {
    HearByte(core, data[i], start + LineMicros(static_cast<int64_t>(i) + 1, pc_baud), pc_baud);
  }
  core.input_free_us = start + LineMicros(static_cast<int64_t>(length), pc_baud);
  core.line_us += LineMicros(static_cast<int64_t>(length), pc_baud);
}

size_t Instrument::Transmit(uint8_t* out, size_t max, int64_t now_us, int32_t pc_baud) {
  core_->latest_us = std::max(core_->latest_us, now_us);
  return core_->line.Transmit(out, max, now_us, pc_baud);
}

int64_t Instrument::InputFreeMicros() const {
  return core_->input_free_us;
}

int64_t Instrument::NextOutputMicros() const {
  return core_->line.NextOutputMicros();
}

void Instrument::DiscardStarted(int64_t now_us) {
  core_->latest_us = std::max(core_->latest_us, now_us);
  core_->line.DiscardStarted(now_us);
}

int32_t Instrument::baud() const {
  return core_->line.BaudAt(core_->latest_us);
}

uint8_t Instrument::Peek(uint32_t address) const {
  return core_->memory.Peek(address);
}

std::vector<uint8_t> Instrument::Read(uint32_t address, uint32_t length) const {
  std::vector<uint8_t> bytes(length);
  for (uint32_t i = 0; i < length; ++i) bytes[i] = core_->memory.Peek(address + i);
  return bytes;
}

void Instrument::Load(uint32_t address, const std::vector<uint8_t>& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    core_->memory.Store(address + static_cast<uint32_t>(i), bytes[i]);
  }
}

const std::vector<std::string>& Instrument::commands() const {
  return core_->commands;
}

bool Instrument::rebooted() const {
  return core_->rebooted;
}

const NoiseCounts& Instrument::noise_counts(Direction direction) const {
  return direction == Direction::kToPc ? core_->line.noise_counts()
                                       : core_->noise_to_instrument.counts();
}

}  // namespace r7700::sim
