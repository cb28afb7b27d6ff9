// Every option of r7700-update, spelt once: the parser recognises them
// here, --help and its synopsis are written from here, and the manual
// page is checked against here.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace r7700::cli {

struct CliOptions;

struct OptionSpec {
  std::string_view name;        // "--port"
  char letter = 0;              // the one-letter spelling ("-p"); 0: none
  std::string_view argument{};  // what its value is ("NAME"); empty: it takes none
  std::string_view help;        // its --help lines, the first beside it, "\n" between
  std::string_view negation{};  // the spelling that switches it off ("--no-firmware")
  // A download option of the settings file, set on or off.
  std::optional<bool> CliOptions::*download_option = nullptr;
  bool repeats = false;      // may be given more than once
  bool or_previous = false;  // an alternative to the option before it
};

std::span<const OptionSpec> OptionTable();

// The option spelt name (its long name or its negation), or none.
const OptionSpec* FindOption(std::string_view name);
// The long name of a one-letter spelling ("-p"), or arg as it stands.
std::string LongForm(const std::string& arg);

// "usage: r7700-update [--port NAME]... [--all-ports] ..." fitted to 80
// columns, and the options with their help lines.
std::string UsageSynopsis();
std::string OptionHelp();

}  // namespace r7700::cli
