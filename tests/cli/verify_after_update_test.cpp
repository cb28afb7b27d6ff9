// --verify against an instrument just updated, in process on the virtual
// clock: the simulator stops at its reboot, so the memory it ended with is
// carried over to a fresh one, as a power cycle would keep it. Identical
// gives exit 0; one byte changed gives exit 4 and names what differs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/modes/modes.h"
#include "app/cli/session.h"
#include "sim/instrument.h"
#include "sim/sim_backend.h"
#include "tests/cli/sample_homes.h"

namespace r7700::cli {
namespace {

constexpr uint32_t kFirmwareRegion = 0x3C00000;
constexpr uint32_t kFirmwareRegionBytes = 0x400000;
constexpr uint32_t kLanguageArea = 0x3B00000;
constexpr uint32_t kLanguageAreaBytes = 0x100000;
constexpr uint32_t kFirstLanguageName = kLanguageArea + 4;

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c = 0; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
  return text;
}

// One command line run against instrument; the JSON Lines it wrote land in *json.
int RunCommandLine(const std::vector<std::string>& args, sim::Instrument& instrument,
                   std::string* json) {
  CliOptions options;
  std::string problem;
  EXPECT_TRUE(ParseCliOptions(args, &options, &problem)) << problem;
  VirtualClock clock;
  SimBackend backend(instrument, clock);
  std::FILE* out = std::tmpfile();
  SessionOutputs outputs;
  outputs.json = out;
  outputs.json_events = !options.verify;
  outputs.log_to_stderr = options.verify;
  int status = kExitUsage;
  {
    Session session(options, backend, clock, outputs);
    status = session.Start();
    if (status == kExitSuccess)
      status = options.verify ? RunVerifyMode(session) : RunUpdateMode(session);
  }
  *json = ReadAll(out);
  std::fclose(out);
  return status;
}

void CarryOver(const sim::Instrument& from, sim::Instrument& to) {
  to.Load(kFirmwareRegion, from.Read(kFirmwareRegion, kFirmwareRegionBytes));
  to.Load(kLanguageArea, from.Read(kLanguageArea, kLanguageAreaBytes));
}

TEST(VerifyAfterUpdate, IdenticalIsExitZeroAndOneByteChangedIsExitFour) {
  ASSERT_FALSE(FullHome().empty());
  const std::vector<std::string> choice{"--home", FullHome(), "--port",       "SIM",
                                        "--baud", "115200",   "--lang",       "English",
                                        "--lang", "Espanol",  "--boot-sector"};
  sim::Instrument updated({});
  std::vector<std::string> update = choice;
  update.push_back("--yes");
  std::string json;
  ASSERT_EQ(RunCommandLine(update, updated, &json), kExitSuccess) << json;

  std::vector<std::string> verify = choice;
  verify.push_back("--verify");
  sim::Instrument same({});
  CarryOver(updated, same);
  EXPECT_EQ(RunCommandLine(verify, same, &json), kExitSuccess) << json;
  EXPECT_EQ(json.find("\"same\": false"), std::string::npos) << json;
  EXPECT_NE(json.find("\"item\": \"boot sector checksum\", \"same\": true"), std::string::npos)
      << json;
  for (const std::string& command : same.commands()) {
    EXPECT_FALSE(command.starts_with("pf") || command.starts_with("erase") ||
                 command.starts_with("flashload") || command.starts_with("ramload"))
        << command;
  }

  sim::Instrument changed({});
  CarryOver(updated, changed);
  changed.Load(kFirstLanguageName, {'e'});  // "English" becomes "english"
  EXPECT_EQ(RunCommandLine(verify, changed, &json), kExitDiffers) << json;
  EXPECT_NE(json.find("\"item\": \"firmware checksum\", \"same\": true"), std::string::npos)
      << json;
  EXPECT_NE(json.find("\"item\": \"language checksum\", \"same\": false"), std::string::npos)
      << json;
  EXPECT_NE(json.find("\"item\": \"language directory\", \"same\": false, \"instrument\": "
                      "\"english, Espanol\", \"update\": \"English, Espanol\""),
            std::string::npos)
      << json;

  // The byte before the marker: no checksum covers it, the dump does.
  sim::Instrument gap_changed({});
  CarryOver(updated, gap_changed);
  gap_changed.Load(kFirmwareRegion + 0x3EFFFB,
                   {static_cast<uint8_t>(~updated.Peek(kFirmwareRegion + 0x3EFFFB))});
  EXPECT_EQ(RunCommandLine(verify, gap_changed, &json), kExitDiffers) << json;
  EXPECT_NE(json.find("\"item\": \"firmware checksum\", \"same\": true"), std::string::npos)
      << json;
  EXPECT_NE(json.find("\"item\": \"firmware gap byte\", \"same\": false"), std::string::npos)
      << json;
}

}  // namespace
}  // namespace r7700::cli
