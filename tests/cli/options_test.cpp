#include "app/cli/command_line/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/cli/command_line/option_table.h"

namespace r7700::cli {
namespace {

using Strings = std::vector<std::string>;

TEST(CliOptions, EveryOptionLandsInItsField) {
  CliOptions options;
  std::string problem;
  ASSERT_TRUE(ParseCliOptions(
      {"--port", "/dev/ttyUSB0", "--baud", "115200", "--home=/opt/r7700", "--lang", "Deutsch",
       "--lang=None", "--lang", "Francais", "--yes", "--no-firmware", "--languages",
       "--boot-sector", "--no-erase-user-flash", "--boot-from", "ramcard"},
      &options, &problem))
      << problem;
  EXPECT_EQ(options.port, "/dev/ttyUSB0");
  EXPECT_EQ(options.baud, 115200);
  EXPECT_EQ(options.home, "/opt/r7700");
  EXPECT_EQ(options.languages, (Strings{"Deutsch", "None", "Francais"}));
  EXPECT_TRUE(options.assume_yes);
  EXPECT_EQ(options.download_firmware, false);
  EXPECT_EQ(options.download_languages, true);
  EXPECT_EQ(options.boot_sector, true);
  EXPECT_EQ(options.erase_user_flash, false);
  EXPECT_EQ(options.boot_from, BootMedium::kRamCard);
  EXPECT_EQ(options.option_flags, (Strings{"--no-firmware", "--languages", "--boot-sector",
                                           "--no-erase-user-flash", "--boot-from ramcard"}));
  EXPECT_FALSE(options.list_ports || options.help || options.version);

  ASSERT_TRUE(ParseCliOptions({"-p", "COM200", "-b", "9600", "-y", "-h", "-V"}, &options, &problem))
      << problem;
  EXPECT_EQ(options.port, "COM200");
  EXPECT_EQ(options.baud, 9600);
  EXPECT_TRUE(options.assume_yes && options.help && options.version);

  // getopt's forms: a value glued on, letters grouped, a value taken as it stands.
  ASSERT_TRUE(
      ParseCliOptions({"-b115200", "-yp", "/dev/ttyS9", "--home", "-b9600"}, &options, &problem))
      << problem;
  EXPECT_EQ(options.baud, 115200);
  EXPECT_TRUE(options.assume_yes);
  EXPECT_EQ(options.port, "/dev/ttyS9");
  EXPECT_EQ(options.home, "-b9600");
  ASSERT_TRUE(ParseCliOptions({"-yp/dev/ttyS9"}, &options, &problem)) << problem;
  EXPECT_EQ(options.port, "/dev/ttyS9");
}

TEST(CliOptions, NothingGivenLeavesEverythingToTheSettingsFile) {
  CliOptions options;
  std::string problem;
  ASSERT_TRUE(ParseCliOptions({}, &options, &problem));
  EXPECT_EQ(options.port, "");
  EXPECT_EQ(options.baud, 0);
  EXPECT_EQ(options.languages, Strings{});
  EXPECT_FALSE(options.assume_yes);
  EXPECT_FALSE(options.download_firmware || options.download_languages || options.boot_sector ||
               options.erase_user_flash || options.boot_from);
  EXPECT_EQ(options.option_flags, Strings{});

  ASSERT_TRUE(ParseCliOptions({"--list-ports", "--help", "--version"}, &options, &problem));
  EXPECT_TRUE(options.list_ports && options.help && options.version);
}

TEST(CliOptions, EveryLinkSpeedOfTheBaudListIsAccepted) {
  for (const int32_t rate : {9600, 19200, 38400, 57600, 115200}) {
    CliOptions options;
    std::string problem;
    ASSERT_TRUE(ParseCliOptions({"--baud", std::to_string(rate)}, &options, &problem)) << problem;
    EXPECT_EQ(options.baud, rate);
  }
}

TEST(CliOptions, SeveralPortsAreKeptInOrderWithTheFirstAsThePort) {
  CliOptions options;
  std::string problem;
  ASSERT_TRUE(ParseCliOptions(
      {"--port", "/dev/ttyUSB1", "--port=/dev/ttyUSB0", "--log-dir", "logs", "--port", "COM3"},
      &options, &problem))
      << problem;
  EXPECT_EQ(options.port, "/dev/ttyUSB1");
  EXPECT_EQ(options.ports, (Strings{"/dev/ttyUSB1", "/dev/ttyUSB0", "COM3"}));
  EXPECT_EQ(options.log_dir, "logs");
  EXPECT_FALSE(options.all_ports);

  ASSERT_TRUE(ParseCliOptions({"--all-ports", "--log-dir", "logs"}, &options, &problem)) << problem;
  EXPECT_TRUE(options.all_ports && UpdatesSeveral(options));
  EXPECT_EQ(options.ports, Strings{});
}

TEST(CliOptions, UsageErrorsSayWhatIsWrongInOneLine) {
  const std::vector<std::pair<Strings, std::string>> cases{
      {{"--frobnicate"}, "unknown option: --frobnicate"},
      {{"-x"}, "unknown option: -x"},
      {{"-yx"}, "unknown option: -x"},
      {{"-yy"}, "--yes given twice"},
      {{"-p"}, "--port needs a value"},
      {{"-y", "--yes"}, "--yes given twice"},
      {{"/dev/ttyS0"}, "unexpected argument: /dev/ttyS0"},
      {{"--"}, "unknown option: --"},
      {{"--port"}, "--port needs a value"},
      {{"--port", "--yes"}, "--port needs a value"},
      {{"--home="}, "--home needs a value"},
      {{"--lang"}, "--lang needs a value"},
      {{"--yes=no"}, "--yes takes no value"},
      {{"--baud", "12345"}, "--baud 12345: use 9600, 19200, 38400, 57600 or 115200"},
      {{"--baud", "19200x"}, "--baud 19200x: use 9600, 19200, 38400, 57600 or 115200"},
      // The baud table's end marker is no rate.
      {{"--baud", "-1"}, "--baud -1: use 9600, 19200, 38400, 57600 or 115200"},
      {{"--boot-from", "card"}, "--boot-from card: use flash or ramcard"},
      {{"--lang", "None"}, "--lang None: the boot language cannot be None"},
      {{"--lang", "English", "--lang", "Deutsch", "--lang", "Francais", "--lang", "Espanol",
        "--lang", "Italiano"},
       "--lang Italiano: at most four languages (boot, second, third, fourth)"},
      {{"--port", "a", "--port", "b", "--port=a"}, "--port a given twice"},
      {{"--all-ports", "--port", "a"}, "--all-ports conflicts with --port"},
      {{"--all-ports", "--all-ports"}, "--all-ports given twice"},
      {{"--port", "a", "--log-dir", "logs"},
       "--log-dir: only with several ports at once (--port given more than once, or "
       "--all-ports)"},
      {{"--baud", "9600", "--baud=9600"}, "--baud given twice"},
      {{"--yes", "--yes"}, "--yes given twice"},
      {{"--firmware", "--no-firmware"}, "--no-firmware conflicts with --firmware given before"},
      {{"--no-erase-user-flash", "--erase-user-flash"},
       "--erase-user-flash conflicts with --no-erase-user-flash given before"},
      {{"--boot-from", "flash", "--boot-from", "ramcard"}, "--boot-from given twice"},
      {{"--info", "--verify"}, "--verify conflicts with --info given before"},
      {{"--log", "--trace"}, "--log needs a value"},
  };
  for (const auto& [args, expected] : cases) {
    CliOptions options;
    std::string problem;
    EXPECT_FALSE(ParseCliOptions(args, &options, &problem)) << args[0];
    EXPECT_EQ(problem, expected);
  }
}

TEST(CliOptions, RestrictedModeRefusesEveryDownloadOptionFlagByName) {
  CliOptions options;
  std::string problem;
  ASSERT_TRUE(
      ParseCliOptions({"--lang", "English", "--baud", "57600", "--yes"}, &options, &problem));
  EXPECT_EQ(RestrictedModeProblem(options, "veskotdr.ini"), "");

  ASSERT_TRUE(
      ParseCliOptions({"--firmware", "--boot-from=flash", "--no-boot-sector"}, &options, &problem));
  EXPECT_EQ(RestrictedModeProblem(options, "veskotdr.ini"),
            "--firmware, --boot-from flash, --no-boot-sector: the settings file veskotdr.ini "
            "fixes the download options (Restricted mode); leave these options out");
}

// The manual page in plain text: roff's "\\-" is a dash.
std::string Unescaped(std::string line) {
  for (size_t at = line.find("\\-"); at != std::string::npos; at = line.find("\\-", at)) {
    line.erase(at, 1);
  }
  return line;
}

// The manual page has one entry for every option of the table and no
// other, each spelling as the table has it, and its synopsis names them all.
TEST(OptionTable, TheManualPageExplainsEveryOptionAndNoOther) {
  std::ifstream page(R7700_MANUAL_PAGE);
  ASSERT_TRUE(page) << R7700_MANUAL_PAGE;
  const std::regex spelling(R"((^|[ "])(--?[A-Za-z][a-z-]*))");
  std::string section;
  std::set<std::string> synopsis;
  std::set<std::string> explained;
  bool entry_next = false;
  for (std::string line; std::getline(page, line);) {
    line = Unescaped(line);
    if (line.starts_with(".SH ")) section = line.substr(4);
    std::set<std::string>* names = section == "SYNOPSIS"                ? &synopsis
                                   : section == "OPTIONS" && entry_next ? &explained
                                                                        : nullptr;
    for (std::sregex_iterator it(line.begin(), line.end(), spelling), end; names && it != end;
         ++it) {
      names->insert((*it)[2]);
    }
    entry_next = line == ".TP";
  }
  std::set<std::string> table;
  for (const OptionSpec& option : OptionTable()) {
    table.insert(std::string(option.name));
    if (option.letter != 0) table.insert(std::string{'-', option.letter});
    if (!option.negation.empty()) table.insert(std::string(option.negation));
    EXPECT_TRUE(synopsis.contains(std::string(option.name))) << option.name;
  }
  EXPECT_EQ(explained, table);
}

}  // namespace
}  // namespace r7700::cli
