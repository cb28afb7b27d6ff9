// The command line of r7700-update, parsed into plain values. Nothing here
// touches a file or a port: what needs the catalogue or the settings mode is
// checked when the options are applied to the controls (apply_options.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace r7700::cli {

// Exit statuses of r7700-update.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitDeclined = 1;   // No at the confirmation
inline constexpr int kExitRunFailed = 2;  // the run failed; its message was shown
// Nothing was sent: a start-up message or a check before the question said why.
inline constexpr int kExitStartupFailed = 3;
inline constexpr int kExitDiffers = 4;  // --verify: the instrument holds something else
inline constexpr int kExitUsage = 64;   // bad command line; nothing was sent

// The four language slots: boot, second, third, fourth.
inline constexpr size_t kMaxLanguageOptions = 4;

enum class BootMedium { kFlash, kRamCard };

struct CliOptions {
  std::string port;  // empty: the first free port
  // Every --port in order (port is the first); more than one updates the
  // instruments on all of them at once.
  std::vector<std::string> ports;
  std::string log_dir;     // --log-dir: one log file per port there
  bool all_ports = false;  // --all-ports: every USB serial adapter found, at once
  int32_t baud = 0;        // 0: the baud list's default
  std::string home;        // empty: the executable's own folder
  // --lang in order; when not empty they replace all four slots of the
  // settings file (slots not given are "None").
  std::vector<std::string> languages;
  bool assume_yes = false;
  std::optional<bool> download_languages;
  std::optional<bool> download_firmware;
  std::optional<bool> boot_sector;
  std::optional<bool> erase_user_flash;
  std::optional<BootMedium> boot_from;
  // The download-option flags as spelt on the command line, in order.
  std::vector<std::string> option_flags;
  bool skip_unchanged = false;  // --skip-unchanged
  bool fast = false;            // --fast: instrument-paced waits
  bool repair = true;           // off with --no-repair
  bool list_ports = false;
  // The modes beyond an update: read-only, nothing is written.
  bool info = false;
  bool verify = false;
  bool json = false;     // JSON Lines on stdout, human output on stderr
  std::string log_path;  // empty: no log file
  bool trace = false;    // the dialogue into the log (stderr without --log)
  bool help = false;
  bool version = false;
  std::string command_line;  // as given, for the log's head
};

// What --help prints: the synopsis and the options from the option table.
std::string UsageText();
extern const std::string_view kVersionText;

// Several instruments at once: more than one --port, or --all-ports.
inline bool UpdatesSeveral(const CliOptions& options) {
  return options.ports.size() > 1 || options.all_ports;
}

// Parses the arguments after the program name ("--name value" or
// "--name=value"). False with one line in *problem on a usage error: an
// unknown option or stray argument, a missing or empty value, a rate that is
// not one of the five link speeds, "None" as boot language, more than four
// languages, or an option given twice (including both forms of a flag).
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions* options,
                     std::string* problem);

// The refusal of download-option flags when the settings file fixes the
// options (Restricted mode); empty when none was given.
std::string RestrictedModeProblem(const CliOptions& options, std::string_view settings_file);

}  // namespace r7700::cli
