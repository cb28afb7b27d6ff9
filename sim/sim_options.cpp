#include "sim/sim_options.h"

#include <charconv>
#include <cstdint>
#include <string_view>

#include "link/clock.h"
#include "link/text_format.h"

namespace r7700::sim {

const char* const kSimUsage =
    "usage: r7700-sim [options]\n"
    "A simulated R7700 instrument on a pseudo-terminal. The first line of output\n"
    "is the terminal's path; the instrument serves it until it reboots or is\n"
    "stopped (SIGTERM, SIGINT).\n"
    "\n"
    "  --link PATH              also make PATH a symlink to the terminal\n"
    "  --time-scale F           multiply every duration by F, from 0.001 to 100:\n"
    "                           0.1 makes them ten times shorter, 2 twice as long\n"
    "                           (default: R7700_TIME_SCALE, else 1)\n"
    "  --series A|B|C           instrument series (default C)\n"
    "  --power ac|charging|battery\n"
    "                           what the power query reports (default ac)\n"
    "  --boot-from flash|ramcard\n"
    "                           the copy a reboot checks (default flash)\n"
    "  --in-monitor             the boot monitor is running at power-up\n"
    "  --state FILE             write the final state as JSON to FILE\n"
    "  --flash FILE             keep the flash in FILE: read at start (when it\n"
    "                           exists), written at the end\n"
    "  --lenient                also take commands as typed by hand (CR, runs of\n"
    "                           blanks, upper-case hex, leading zeros)\n"
    "faults:\n"
    "  --silent                 never answer anything\n"
    "  --stale-end              an extra <END> line before the first identification\n"
    "  --prompt-for-banner N    answer ramload/flashload with the prompt N times first\n"
    "  --prompt-for-checksum N  answer crc with the prompt N times first\n"
    "  --garble-checksum N      the first N crc values come garbled (not hex)\n"
    "  --no-ack                 the downloader never acknowledges a block\n"
    "  --no-pacing              a block is acknowledged on receipt, not once it is\n"
    "                           programmed (what arrives meanwhile is lost)\n"
    "  --wrong-ack-on-block K   the K-th block since power-up (from 0) gets a wrong ack\n"
    "  --wrong-checksum         crc answers a wrong value\n"
    "  --slow-erase MS          erase takes MS longer than the update tool waits\n"
    "  --noise-every N          corrupt every N-th received byte\n"
    "  --unplug-after N         the line goes dead after N received bytes\n"
    "  --garble-command FROM=TO a command line received as FROM is taken as TO\n"
    "                           (may be repeated)\n"
    "  --garble-byte ADDR       the byte loaded for ADDR (hex) arrives with one bit\n"
    "                           flipped; its block is acknowledged as received\n"
    "  --blank-boot-sector      no boot sector from the factory in either copy\n"
    "line noise, each at a rate from 0 to 1, towards the instrument or the PC:\n"
    "  --bit-errors-to-instrument RATE, --bit-errors-to-pc RATE\n"
    "                           each data bit arrives flipped with this chance\n"
    "  --drops-to-instrument RATE, --drops-to-pc RATE\n"
    "                           each byte is lost with this chance\n"
    "  --duplicates-to-instrument RATE, --duplicates-to-pc RATE\n"
    "                           each byte arrives twice with this chance\n"
    "  --noise-seed N           the same seed meets the same errors at the same\n"
    "                           bytes of the line (default 1)\n"
    "  --help                   this text\n"
    "  --version                the program's version\n"
    "exit status: 0 after the reboot or a stop by signal, 1 when the terminal,\n"
    "the link or the state file cannot be made, 64 for a usage error\n";

namespace {

// Beyond these the instrument's timing means nothing: durations of hours, or
// shorter than the operating system can keep.
constexpr double kMinTimeScale = 0.001;
constexpr double kMaxTimeScale = 100;

template <typename Number>
bool ParseWhole(std::string_view text, Number* value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size() && *value >= 0;
}

// The options that take a rate of line noise, and where it goes.
double* RateTarget(std::string_view flag, LineNoise& noise) {
  struct Rate {
    std::string_view flag;
    double NoiseRates::*member;
    bool to_pc;
  };
  static constexpr Rate kRates[] = {
      {"--bit-errors-to-instrument", &NoiseRates::bit_error_rate, false},
      {"--bit-errors-to-pc", &NoiseRates::bit_error_rate, true},
      {"--drops-to-instrument", &NoiseRates::drop_rate, false},
      {"--drops-to-pc", &NoiseRates::drop_rate, true},
      {"--duplicates-to-instrument", &NoiseRates::duplicate_rate, false},
      {"--duplicates-to-pc", &NoiseRates::duplicate_rate, true}};
  for (const Rate& rate : kRates) {
    if (rate.flag != flag) continue;
    NoiseRates& rates = rate.to_pc ? noise.to_pc : noise.to_instrument;
    return &(rates.*rate.member);
  }
  return nullptr;
}

bool ParseRate(std::string_view text, double* rate) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *rate);
  return error == std::errc() && end == text.data() + text.size() && *rate >= 0 && *rate <= 1;
}

// The options that take a number, and where it goes.
bool SetCount(std::string_view flag, std::string_view text, InstrumentConfig& config) {
  Faults& faults = config.faults;
  if (flag == "--unplug-after") return ParseWhole(text, &faults.unplug_after_bytes);
  if (flag == "--noise-seed") {
    uint64_t& seed = faults.line_noise.seed;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
    return error == std::errc() && end == text.data() + text.size();
  }
  if (double* rate = RateTarget(flag, faults.line_noise)) return ParseRate(text, rate);
  int* target = flag == "--prompt-for-banner"     ? &faults.prompt_instead_of_banner
                : flag == "--prompt-for-checksum" ? &faults.prompt_instead_of_checksum
                : flag == "--garble-checksum"     ? &faults.garbled_checksum_replies
                : flag == "--wrong-ack-on-block"  ? &faults.wrong_ack_on_block
                : flag == "--slow-erase"          ? &faults.erase_extra_ms
                : flag == "--noise-every"         ? &faults.noise_every_n_bytes
                                                  : nullptr;
  return target != nullptr && ParseWhole(text, target);
}

bool SetChoice(std::string_view flag, std::string_view text, SimOptions& options) {
  InstrumentConfig& config = options.config;
  if (flag == "--series") {
    if (text != "A" && text != "B" && text != "C") return false;
    config.series = text[0];
  } else if (flag == "--power") {
    if (text == "ac") {
      config.power = Power::kAc;
    } else if (text == "charging") {
      config.power = Power::kCharging;
    } else if (text == "battery") {
      config.power = Power::kBattery;
    } else {
      return false;
    }
  } else if (flag == "--boot-from") {
    if (text != "flash" && text != "ramcard") return false;
    config.boots_from_ram_card = text == "ramcard";
  } else if (flag == "--time-scale") {
    std::string problem;
    options.time_scale = ParseTimeScale(std::string(text).c_str(), &problem);
    return problem.empty();
  } else if (flag == "--garble-command") {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) return false;
    config.faults.garbled_commands.emplace_back(text.substr(0, equals), text.substr(equals + 1));
  } else if (flag == "--garble-byte") {
    if (text.starts_with("0x")) text.remove_prefix(2);
    uint32_t address = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), address, 16);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    config.faults.garbled_byte_address = address;
  } else if (flag == "--link") {
    options.link_path = text;
  } else if (flag == "--state") {
    options.state_path = text;
  } else if (flag == "--flash") {
    options.flash_path = text;
  } else {
    return SetCount(flag, text, config);
  }
  return !text.empty();
}

bool SetSwitch(std::string_view flag, SimOptions& options) {
  Faults& faults = options.config.faults;
  if (flag == "--help") {
    options.help = true;
  } else if (flag == "--version") {
    options.version = true;
  } else if (flag == "--lenient") {
    options.config.lenient = true;
  } else if (flag == "--blank-boot-sector") {
    options.config.factory_boot_sector = false;
  } else if (flag == "--in-monitor") {
    options.config.in_monitor = true;
  } else if (flag == "--silent") {
    faults.silent = true;
  } else if (flag == "--stale-end") {
    faults.stale_end_line = true;
  } else if (flag == "--no-ack") {
    faults.no_ack = true;
  } else if (flag == "--no-pacing") {
    faults.no_pacing = true;
  } else if (flag == "--wrong-checksum") {
    faults.wrong_checksum = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, double default_time_scale,
                     SimOptions* options, std::string* problem) {
  *options = SimOptions{};
  options->time_scale = default_time_scale;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (SetSwitch(flag, *options)) continue;
    if (i + 1 == args.size()) {
      *problem = "unknown option or missing value: " + flag;
      return false;
    }
    if (!SetChoice(flag, args[i + 1], *options)) {
      *problem = "bad option or value: " + flag + " " + args[i + 1];
      return false;
    }
    ++i;
  }
  if (!(options->time_scale >= kMinTimeScale && options->time_scale <= kMaxTimeScale)) {
    *problem = Format("time scale %g (--time-scale or R7700_TIME_SCALE) must lie from %g to %g",
                      options->time_scale, kMinTimeScale, kMaxTimeScale);
    return false;
  }
  return true;
}

}  // namespace r7700::sim
