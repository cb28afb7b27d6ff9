#include "app/cli/command_line/options.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "app/cli/command_line/option_table.h"
#include "languages/catalogue.h"
#include "link/serial_port.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr std::string_view kAbout =
    "\n"
    "Updates the firmware and the display languages of an R7700 B/C series OTDR\n"
    "over a serial line: the same settings files, data folder, run and texts as\n"
    "the Windows program.\n"
    "\n";

constexpr std::string_view kAfterOptions =
    "Each option may be given once (--lang up to four times, --port once per port).\n"
    "\n"
    "stdout carries the status log as the run writes it, with LF line ends where\n"
    "the window shows CR LF; message boxes go to stderr as \"CAPTION: text\", and a\n"
    "progress bar too when stderr is a terminal. The settings file is never\n"
    "written.\n"
    "\n"
    "Exit status: 0 success, 1 declined at the confirmation, 2 the run failed,\n"
    "3 nothing sent (a start-up message, or a port, file or log refused before\n"
    "the question), 4 --verify found a difference, 64 usage error (nothing sent).\n"
    "\n"
    "Environment: R7700_TIME_SCALE multiplies every wait and serial time limit;\n"
    "it is meant for the simulated instrument only (a real instrument needs 1).\n"
    "TMP, else TMPDIR (the first that names a folder), else /tmp holds the\n"
    "temporary language image.\n";

class Parser {
 public:
  Parser(CliOptions* options, std::string* problem) : options_(*options), problem_(*problem) {}

  bool Switch(const std::string& name) {
    if (name == "--yes") return Once(name, name) && Set(options_.assume_yes);
    if (name == "--skip-unchanged") return Once(name, name) && Set(options_.skip_unchanged);
    if (name == "--fast") return Once(name, name) && Set(options_.fast);
    if (name == "--no-repair") return Once(name, name) && Clear(options_.repair);
    if (name == "--list-ports") return Set(options_.list_ports);
    if (name == "--all-ports") return Once(name, name) && Set(options_.all_ports);
    if (name == "--help") return Set(options_.help);
    if (name == "--version") return Set(options_.version);
    if (name == "--info" || name == "--verify") return Mode(name);
    if (name == "--json") return Once(name, name) && Set(options_.json);
    if (name == "--trace") return Once(name, name) && Set(options_.trace);
    const OptionSpec& flag = *FindOption(name);
    if (!Once(std::string(flag.name), name)) return false;
    options_.*(flag.download_option) = flag.name == name;
    options_.option_flags.push_back(name);
    return true;
  }

  bool Valued(const std::string& name, const std::string& value) {
    if (name == "--lang") return Language(value);
    if (name == "--port") return Port(value);
    if (!Once(name, name)) return false;
    if (name == "--log-dir") {
      options_.log_dir = value;
    } else if (name == "--log") {
      options_.log_path = value;
    } else if (name == "--home") {
      options_.home = value;
    } else if (name == "--baud") {
      return Baud(value);
    } else if (value == "flash" || value == "ramcard") {
      options_.boot_from = value == "flash" ? BootMedium::kFlash : BootMedium::kRamCard;
      options_.option_flags.push_back(name + " " + value);
    } else {
      return Fail("--boot-from " + value + ": use flash or ramcard");
    }
    return true;
  }

  bool Fail(const std::string& problem) {
    problem_ = problem;
    return false;
  }

 private:
  static bool Set(bool& flag) { return flag = true; }
  static bool Clear(bool& flag) {
    flag = false;
    return true;
  }

  // Each option once: a second spelling of it is a contradiction or a slip.
  bool Once(const std::string& option, const std::string& name) {
    const auto [it, added] = seen_.emplace(option, name);
    if (added) return true;
    if (it->second == name) return Fail(name + " given twice");
    return Fail(name + " conflicts with " + it->second + " given before");
  }

  // --info and --verify are two ways of running, not to be combined.
  bool Mode(const std::string& name) {
    if (!Once("mode", name)) return false;
    return Set(name == "--info" ? options_.info : options_.verify);
  }

  bool Language(const std::string& value) {
    if (options_.languages.size() == kMaxLanguageOptions) {
      return Fail("--lang " + value + ": at most four languages (boot, second, third, fourth)");
    }
    if (options_.languages.empty() && value == kNoLanguageName) {
      return Fail("--lang None: the boot language cannot be None");
    }
    options_.languages.push_back(value);
    return true;
  }

  // Repeated, each port once: several instruments are updated at once.
  bool Port(const std::string& value) {
    if (std::find(options_.ports.begin(), options_.ports.end(), value) != options_.ports.end()) {
      return Fail("--port " + value + " given twice");
    }
    if (options_.ports.empty()) options_.port = value;
    options_.ports.push_back(value);
    return true;
  }

  bool Baud(const std::string& value) {
    int32_t rate = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), rate);
    if (error != std::errc() || end != value.data() + value.size() ||
        std::find(BaudRateTable.begin(), BaudRateTable.end(), rate) == BaudRateTable.end()) {
      return Fail("--baud " + value + ": use 9600, 19200, 38400, 57600 or 115200");
    }
    options_.baud = rate;
    return true;
  }

  CliOptions& options_;
  std::string& problem_;
  std::map<std::string, std::string> seen_;  // option -> the spelling that set it
};

bool IsSwitch(const std::string& name) {
  const OptionSpec* option = FindOption(name);
  return option != nullptr && option->argument.empty();
}

bool IsValued(const std::string& name) {
  const OptionSpec* option = FindOption(name);
  return option != nullptr && !option->argument.empty();
}

// getopt's forms of the one-letter options: "-b115200" is "-b 115200",
// "-yp X" is "-y -p X". A letter that is no option ends the group, to be
// refused as it stands.
std::vector<std::string> SeparatedShortOptions(const std::vector<std::string>& args) {
  std::vector<std::string> separated;
  for (const std::string& arg : args) {
    // The value of the option before it is taken as it stands.
    const bool is_value = !separated.empty() && IsValued(LongForm(separated.back()));
    if (is_value || arg.size() <= 2 || arg[0] != '-' || arg[1] == '-') {
      separated.push_back(arg);
      continue;
    }
    for (size_t k = 1; k < arg.size(); ++k) {
      std::string letter(2, '-');
      letter[1] = arg[k];
      const std::string name = LongForm(letter);
      if (name == letter) {
        // The rest of the group as it stands, behind its dash.
        separated.push_back(arg.substr(k - 1));
        separated.back()[0] = '-';
        break;
      }
      separated.push_back(letter);
      if (IsValued(name) && k + 1 < arg.size()) {
        separated.push_back(arg.substr(k + 1));
        break;
      }
    }
  }
  return separated;
}

}  // namespace

std::string UsageText() {
  return UsageSynopsis() + std::string(kAbout) + OptionHelp() + std::string(kAfterOptions);
}

const std::string_view kVersionText = "r7700-update " R7700_VERSION "\n";

bool ParseCliOptions(const std::vector<std::string>& given, CliOptions* options,
                     std::string* problem) {
  *options = CliOptions{};
  const std::vector<std::string> args = SeparatedShortOptions(given);
  Parser parser(options, problem);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = LongForm(args[i]);
    if (!arg.starts_with("--") || arg == "--") {
      return parser.Fail((arg.starts_with("-") ? "unknown option: " : "unexpected argument: ") +
                         arg);
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const size_t equals = arg.find('='); equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    if (IsSwitch(name)) {
      if (value) return parser.Fail(name + " takes no value");
      if (!parser.Switch(name)) return false;
      continue;
    }
    if (!IsValued(name)) return parser.Fail("unknown option: " + name);
    if (!value && i + 1 < args.size()) value = args[++i];
    // A value that looks like an option is the next option, not a value.
    if (!value || value->empty() || value->starts_with("--")) {
      return parser.Fail(name + " needs a value");
    }
    if (!parser.Valued(name, *value)) return false;
  }
  if (options->all_ports && !options->ports.empty()) {
    return parser.Fail("--all-ports conflicts with --port");
  }
  if (!options->log_dir.empty() && !UpdatesSeveral(*options)) {
    return parser.Fail(
        "--log-dir: only with several ports at once (--port given more than once, or "
        "--all-ports)");
  }
  return true;
}

std::string RestrictedModeProblem(const CliOptions& options, std::string_view settings_file) {
  if (options.option_flags.empty()) return {};
  return Joined(options.option_flags) + ": the settings file " + std::string(settings_file) +
         " fixes the download options (Restricted mode); leave these options out";
}

}  // namespace r7700::cli
