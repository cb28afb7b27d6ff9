// The boot monitor: one command per line, no echo, a reply (if any) and then
// the prompt line "R7700>". Commands it cannot carry out get an error line
// and the prompt; nothing is done to memory then. It takes exactly the forms
// the update tool's formats produce: single blanks, hex numbers in lower
// case without leading zeros, decimal baud rates, no CR (lenient: any).
#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/text_format.h"
#include "sim/core.h"
#include "sim/pacing.h"

namespace r7700::sim {
namespace {

constexpr int64_t kMonitorReplyUs = 1000;
// How long the update tool waits for an erase (its pause and progress
// ticks) before it looks for the prompt; the slow-erase fault overruns it.
constexpr int64_t kToolFirmwareEraseWaitUs = 48200000;
constexpr int64_t kToolLanguageEraseWaitUs = 16200000;
constexpr std::array<int32_t, 8> kBaudRates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr uint32_t kDumpRowBytes = 16;
// Flipped in a garbled checksum reply: no hex digit stays one.
constexpr char kGarbledReplyBit = 0x40;

using Numbers = std::vector<uint32_t>;

// Strictly: digits (and a to f) only, no leading zero but in "0" itself.
bool ParseNumber(std::string_view text, int base, bool lenient, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  if (!lenient) {
    const std::string_view digits = base == 16 ? "0123456789abcdef" : "0123456789";
    if (text.find_first_not_of(digits) != std::string_view::npos) return false;
    if (text.size() > 1 && text[0] == '0') return false;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value, base);
  return error == std::errc() && end == text.data() + text.size();
}

void SayError(Core& core, std::string_view text, int64_t reply_us) {
  SayLine(core, text, reply_us);
  SayPrompt(core, reply_us);
}

void SayVersion(Core& core, const Numbers&, int64_t reply_us) {
  const char series = core.config.series;
  // The A series monitor has no series letter after its version number.
  SayLine(core,
          series == 'A' ? std::string("Ver 3.10 R7700A boot monitor")
                        : Format("Ver 4.20 %c R7700%c boot monitor", series, series),
          reply_us);
  SayPrompt(core, reply_us);
}

void SayIdentity(Core& core, const Numbers&, int64_t reply_us) {
  SayLine(core, "R7700 Monitor 4.20", reply_us);
  SayPrompt(core, reply_us);
}

void JustPrompt(Core& core, const Numbers&, int64_t reply_us) {
  SayPrompt(core, reply_us);
}

void ChangeBaud(Core& core, const Numbers& args, int64_t reply_us) {
  const auto baud = static_cast<int32_t>(args[0]);
  bool known = false;
  for (int32_t rate : kBaudRates) known = known || rate == baud;
  if (!known) return SayError(core, "Error: unsupported baud rate", reply_us);
  const int64_t sent_us =
      core.line.Send(Format("Baud rate %ld\r\n", static_cast<long>(baud)), reply_us);
  const int64_t switch_us = sent_us + kBaudSettleUs;
  core.line.SwitchBaud(baud, switch_us);
  BusyUntil(core, sent_us, switch_us);
  SayPrompt(core, switch_us);  // already at the new speed
}

void StartLoad(Core& core, bool to_flash, int64_t reply_us) {
  if (core.banners_to_withhold > 0) {
    --core.banners_to_withhold;
    return SayPrompt(core, reply_us);
  }
  SayLine(core, to_flash ? "VQ Downloader 2.1 (flash)" : "VQ Downloader 2.1 (RAM)", reply_us);
  StartDownloader(core, to_flash);
}

void RamLoad(Core& core, const Numbers&, int64_t reply_us) {
  StartLoad(core, false, reply_us);
}
void FlashLoad(Core& core, const Numbers&, int64_t reply_us) {
  StartLoad(core, true, reply_us);
}

// "crc A N" sums N - 1 bytes from A.
void Crc(Core& core, const Numbers& args, int64_t reply_us) {
  const uint32_t address = args[0];
  const uint32_t length = args[1];
  if (length == 0 || !(InRam(address, length - 1) || InFlash(address, length - 1))) {
    return SayError(core, "Error: bad address range", reply_us);
  }
  if (core.checksums_to_withhold > 0) {
    --core.checksums_to_withhold;
    return SayPrompt(core, reply_us);
  }
  uint32_t value = core.memory.Checksum(address, length - 1);
  if (core.config.faults.wrong_checksum) value ^= 0xFFFF;
  const int64_t done_us = reply_us + int64_t{length} * kCrcNanosPerByte / 1000;
  BusyUntil(core, reply_us, done_us);
  std::string text = Format("%04X", static_cast<unsigned>(value));
  if (core.checksums_to_garble > 0) {
    --core.checksums_to_garble;
    text[0] = static_cast<char>(text[0] ^ kGarbledReplyBit);
  }
  SayLine(core, text, done_us);
  SayPrompt(core, done_us);
}

// One row: the 16 bytes as "%02X ", then the same bytes as text.
void Dump(Core& core, const Numbers& args, int64_t reply_us) {
  const uint32_t address = args[0];
  if (address > UINT32_MAX - (kDumpRowBytes - 1)) {
    return SayError(core, "Error: bad address range", reply_us);
  }
  std::string hex;
  std::string text;
  for (uint32_t i = 0; i < kDumpRowBytes; ++i) {
    const uint8_t byte = core.memory.Peek(address + i);
    hex += Format("%02X ", byte);
    text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
  }
  SayLine(core, hex + " " + text, reply_us);
  SayPrompt(core, reply_us);
}

bool InLanguageArea(uint32_t address) {
  return (address >= kLanguageBase && address - kLanguageBase < kLanguageBytes) ||
         (address >= kLanguageBase - kRamCardOffset &&
          address - (kLanguageBase - kRamCardOffset) < kLanguageBytes);
}

// "erase A L B": whole sectors of one flash device; the prompt comes when done.
void Erase(Core& core, const Numbers& args, int64_t reply_us) {
  const uint32_t address = args[0];
  const uint32_t length = args[1];
  if (args[2] != kSectorBytes) return SayError(core, "Error: bad block size", reply_us);
  if (length == 0 || address % kSectorBytes != 0 || length % kSectorBytes != 0 ||
      !InFlash(address, length)) {
    return SayError(core, "Error: bad address range", reply_us);
  }
  core.memory.Erase(address, length);
  core.boot_writes.Erased(address, length);
  int64_t duration_us = int64_t{length / kSectorBytes} * kSectorEraseUs;
  const int extra_ms = core.config.faults.erase_extra_ms;
  if (extra_ms > 0) {
    duration_us = (InLanguageArea(address) ? kToolLanguageEraseWaitUs : kToolFirmwareEraseWaitUs) +
                  int64_t{extra_ms} * 1000;
  }
  BusyUntil(core, reply_us, reply_us + duration_us);
  SayPrompt(core, reply_us + duration_us);
}

// "pf A V" programs one flash byte.
void ProgramByte(Core& core, const Numbers& args, int64_t reply_us) {
  if (args[1] > 0xFF) return SayError(core, "Error: bad value", reply_us);
  if (!InFlash(args[0], 1)) return SayError(core, "Error: bad address range", reply_us);
  core.memory.Program(args[0], static_cast<uint8_t>(args[1]));
  core.boot_writes.Programmed(args[0]);
  SayPrompt(core, reply_us);
}

// Prints one line and restarts: the monitor answers no more.
void Reboot(Core& core, const Numbers&, int64_t reply_us) {
  SayLine(core, "Rebooting ...", reply_us);
  core.agent = Agent::kStopped;
  core.rebooted = true;
}

struct MonitorCommand {
  std::string_view name;
  size_t arguments;
  int base;  // of the arguments
  void (*run)(Core&, const Numbers&, int64_t);
};

constexpr std::array<MonitorCommand, 12> kCommands{{
    {"ver", 0, 16, SayVersion},
    {"*idn?", 0, 16, SayIdentity},
    {"enh", 0, 16, JustPrompt},
    {"sec_enh", 0, 16, JustPrompt},
    {"baud", 1, 10, ChangeBaud},
    {"ramload", 0, 16, RamLoad},
    {"flashload", 0, 16, FlashLoad},
    {"crc", 2, 16, Crc},
    {"dm", 1, 16, Dump},
    {"erase", 3, 16, Erase},
    {"pf", 2, 16, ProgramByte},
    {"reboot", 0, 16, Reboot},
}};

// Strictly every blank separates two words, so a run of blanks or one at
// either end makes an empty word that no command takes.
std::vector<std::string_view> Words(std::string_view line, bool lenient) {
  std::vector<std::string_view> words;
  if (line.empty()) return words;
  for (size_t start = 0;;) {
    const size_t end = line.find(' ', start);
    words.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (lenient) std::erase(words, std::string_view{});
  return words;
}

}  // namespace

void RunMonitorCommand(Core& core, const std::string& line, int64_t at_us) {
  const int64_t reply_us = at_us + kMonitorReplyUs;
  const bool lenient = core.config.lenient;
  const std::vector<std::string_view> words = Words(line, lenient);
  if (words.empty()) return SayPrompt(core, reply_us);  // the nudge
  for (const MonitorCommand& command : kCommands) {
    if (words[0] != command.name) continue;
    Numbers numbers(command.arguments);
    bool good = words.size() == command.arguments + 1;
    for (size_t i = 0; good && i < command.arguments; ++i) {
      good = ParseNumber(words[i + 1], command.base, lenient, &numbers[i]);
    }
    if (!good) return SayError(core, "Error: bad arguments", reply_us);
    return command.run(core, numbers, reply_us);
  }
  SayError(core, "Error: unknown command", reply_us);
}

}  // namespace r7700::sim
