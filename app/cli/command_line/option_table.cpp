#include "app/cli/command_line/option_table.h"

#include <algorithm>
#include <array>
#include <vector>

#include "app/cli/command_line/options.h"

namespace r7700::cli {
namespace {

constexpr std::array<OptionSpec, 23> kOptions{{
    {.name = "--port",
     .letter = 'p',
     .argument = "NAME",
     .help = "the serial port, used as named (/dev/ttyUSB0, COM3, a pty);\n"
             "default: the one USB serial adapter plugged in (with\n"
             "none or several, the ports are listed and nothing sent).\n"
             "Given more than once: the instruments on all these ports\n"
             "are updated at once, after one confirmation for all (which\n"
             "also accepts each port's retry offer); a summary table\n"
             "ends the run, exit status 0 only when every one succeeded",
     .repeats = true},
    {.name = "--all-ports",
     .help = "every USB serial adapter that --list-ports shows, updated\n"
             "at once as with several --port"},
    {.name = "--log-dir",
     .argument = "DIR",
     .help = "with several ports: one log file per port in DIR, named\n"
             "after the port and the start time, lines time-stamped\n"
             "as with --log (--trace adds the dialogue there)"},
    {.name = "--baud",
     .letter = 'b',
     .argument = "RATE",
     .help = "link speed after connecting: 9600, 19200, 38400, 57600 or\n"
             "115200 (default 19200); the port always opens at 19200"},
    {.name = "--home",
     .argument = "DIR",
     .help = "the folder that stands in for the program's own: the\n"
             "settings file and data/ are read there (default: the\n"
             "folder of this program)"},
    {.name = "--lang",
     .argument = "NAME",
     .help = "a language of data/lang.cfg; repeat for the boot, second,\n"
             "third and fourth language; \"None\" leaves a slot empty.\n"
             "Given at all, it replaces the four languages of the\n"
             "settings file (slots not given are \"None\"). Unless the\n"
             "boot language is the catalogue's first language, that\n"
             "language is always loaded second.",
     .repeats = true},
    {.name = "--yes",
     .letter = 'y',
     .help = "answer Yes to the confirmation and to the retry offer;\n"
             "without it they are asked on the terminal (end of input\n"
             "answers No)"},
    {.name = "--firmware",
     .help = "download the firmware",
     .negation = "--no-firmware",
     .download_option = &CliOptions::download_firmware},
    {.name = "--languages",
     .help = "download the language modules",
     .negation = "--no-languages",
     .download_option = &CliOptions::download_languages},
    {.name = "--boot-sector",
     .help = "include the boot sector",
     .negation = "--no-boot-sector",
     .download_option = &CliOptions::boot_sector},
    {.name = "--erase-user-flash",
     .help = "erase the user flash memory",
     .negation = "--no-erase-user-flash",
     .download_option = &CliOptions::erase_user_flash},
    {.name = "--boot-from",
     .argument = "flash|ramcard",
     .help = "what the instrument boots from\n"
             "These start from the values of product.ini; with\n"
             "veskotdr.ini the options are fixed and refused."},
    {.name = "--skip-unchanged",
     .help = "ask the monitor for the checksums of what the instrument\n"
             "holds first: a download it already has is skipped, else\n"
             "only the 64 KiB sectors that differ (and the marker's)\n"
             "are erased and written; verified as a full download is"},
    {.name = "--fast",
     .help = "read each acknowledgement, prompt and checksum as soon as\n"
             "the instrument sends it instead of waiting fixed times;\n"
             "for instruments that pace their replies. If a run with\n"
             "it fails, run again without it"},
    {.name = "--no-repair",
     .help = "one attempt only, as the Windows program makes it; by\n"
             "default firmware blocks acknowledged damaged, a wrong\n"
             "region checksum or marker are surveyed and the sectors\n"
             "that differ erased and sent again (at most 8 rounds,\n"
             "within the first transfer's time, at least 10 minutes)"},
    {.name = "--info",
     .help = "connect, report what the instrument holds (identity,\n"
             "monitor version, firmware and language markers, the\n"
             "installed languages) and reboot it; nothing is written"},
    {.name = "--verify",
     .help = "compare, read-only, what the instrument holds with what\n"
             "the update with the same options would write; exit 4\n"
             "when they differ",
     .or_previous = true},
    {.name = "--json",
     .help = "JSON Lines on stdout (events, then a result record);\n"
             "the human output goes to stderr\n"
             "With several ports every record names its \"port\", each\n"
             "port ends with its result record, and a last record\n"
             "without a port gives the exit status of all"},
    {.name = "--log",
     .argument = "FILE",
     .help = "append the status log to FILE, each line time-stamped"},
    {.name = "--trace",
     .help = "add every command sent, line received and frame to the\n"
             "log (to stderr without --log)"},
    {.name = "--list-ports",
     .help = "list the serial ports (USB adapter, serial number,\n"
             "/dev/serial/by-id name, free, busy or not permitted);\n"
             "with --json as one JSON record"},
    {.name = "--help", .letter = 'h', .help = "this text"},
    {.name = "--version", .letter = 'V', .help = "the program's version"},
}};

// --help's layout: the option at 2, its help at 19 (45 for the long pairs).
constexpr size_t kOptionIndent = 2;
constexpr size_t kNarrowSpelling = 16;
constexpr size_t kWideSpelling = 42;
constexpr size_t kHelpIndent = kOptionIndent + kNarrowSpelling + 1;
constexpr size_t kSynopsisColumns = 80;
constexpr std::string_view kSynopsisHead = "usage: r7700-update ";

// "-p, --port NAME" in --help (separator ", "), "--firmware|--no-firmware"
// in the synopsis (separator "|"). Appended piece by piece: the cross
// compiler's restrict check trips over a literal plus a string at -O3.
std::string Spelling(const OptionSpec& option, std::string_view separator, bool letter) {
  std::string text;
  if (letter && option.letter != 0) text.append(1, '-').append(1, option.letter).append(", ");
  text.append(option.name);
  if (!option.negation.empty()) text.append(separator).append(option.negation);
  if (!option.argument.empty()) text.append(1, ' ').append(option.argument);
  return text;
}

}  // namespace

std::span<const OptionSpec> OptionTable() {
  return kOptions;
}

const OptionSpec* FindOption(std::string_view name) {
  const auto found = std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionSpec& option) {
    return option.name == name || (!option.negation.empty() && option.negation == name);
  });
  return found == kOptions.end() ? nullptr : &*found;
}

std::string LongForm(const std::string& arg) {
  for (const OptionSpec& option : kOptions) {
    if (arg.size() == 2 && arg[0] == '-' && option.letter != 0 && arg[1] == option.letter) {
      return std::string(option.name);
    }
  }
  return arg;
}

std::string UsageSynopsis() {
  // An alternative joins the item before it: "[--info|--verify]".
  std::vector<std::string> items;
  for (const OptionSpec& option : kOptions) {
    const std::string spelling = Spelling(option, "|", false);
    if (option.or_previous && !items.empty()) {
      items.back().insert(items.back().size() - 1, 1, '|');
      items.back().insert(items.back().size() - 1, spelling);
      continue;
    }
    items.emplace_back(1, '[');
    items.back().append(spelling).append(1, ']').append(option.repeats ? "..." : "");
  }
  std::string text(kSynopsisHead);
  size_t line_start = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0 && text.size() - line_start + 1 + items[i].size() > kSynopsisColumns) {
      line_start = text.size() + 1;
      text.append(1, '\n').append(kSynopsisHead.size(), ' ');
    } else if (i > 0) {
      text.append(1, ' ');
    }
    text.append(items[i]);
  }
  return text.append(1, '\n');
}

std::string OptionHelp() {
  std::string text;
  for (const OptionSpec& option : kOptions) {
    const std::string spelling = Spelling(option, ", ", true);
    const size_t width = spelling.size() <= kNarrowSpelling ? kNarrowSpelling : kWideSpelling;
    text.append(kOptionIndent, ' ').append(spelling);
    text.append(width + 1 - std::min(width, spelling.size()), ' ');
    for (const char c : option.help) {
      text.append(1, c);
      if (c == '\n') text.append(kHelpIndent, ' ');
    }
    text.append(1, '\n');
  }
  return text;
}

}  // namespace r7700::cli
