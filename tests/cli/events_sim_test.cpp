// --json, --log and --trace of a run against r7700-sim over a pty: stdout
// holds JSON Lines alone and ends with a result record that matches the exit
// status; the log file has a time stamp on every line and, with --trace,
// the dialogue itself.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/processes.h"
#include "tests/cli/sample_homes.h"
#include "tests/cli/sim_state.h"

namespace r7700::cli {
namespace {

using Strings = std::vector<std::string>;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct EventCase {
  const char* name;
  Strings sim_args;
  Strings tool_args;
  int status;
  const char* firmware;  // the outcome the result record gives each image
  const char* languages;
  const char* verdict;  // the log's last line from "verdict: "
  bool identified;      // the result names the instrument and its monitor
  Strings stages;       // the ids of the stage records, in order
};

void PrintTo(const EventCase& c, std::ostream* os) {
  *os << c.name;
}

// The language download alone keeps these short.
const std::vector<EventCase> kEventCases{
    {"Written",
     {},
     {"--no-firmware", "--yes"},
     0,
     "not-chosen",
     "written",
     "success, exit 0, 0:0., firmware untouched \\(as before this run\\); languages valid "
     "\\(written by this run\\)",
     true,
     {"test-load", "test-dump", "languages-erase", "languages-transfer"}},
    // Block 0 is the test load into RAM, block 1 the first of the languages;
    // without repair the one wrong acknowledgement fails the run.
    {"WrongAck",
     {"--wrong-ack-on-block", "1"},
     {"--no-firmware", "--no-repair", "--yes"},
     2,
     "not-chosen",
     "failed",
     "failed, exit 2, 0:0., firmware untouched \\(as before this run\\); languages not valid "
     "\\(partly written: [0-9]+ bytes\\)",
     true,
     {"test-load", "test-dump", "languages-erase", "languages-transfer"}},
    {"Declined",
     {},
     {"--no-firmware"},
     1,
     "not-chosen",
     "not-reached",
     "declined, exit 1, 0:00",
     false,
     {}},
    {"NotIdentified",
     {"--silent"},
     {"--no-firmware", "--yes"},
     2,
     "not-chosen",
     "not-reached",
     "failed, exit 2, 0:0.",
     false,
     {}},
    // The firmware's last bytes are its marker, written after the transfer.
    {"FirmwareWritten",
     {"--in-monitor"},
     {"--no-languages", "--yes", "--baud", "115200"},
     0,
     "written",
     "not-chosen",
     "success, exit 0, 0:[0-9]{2}, firmware valid \\(written by this run\\); languages untouched "
     "\\(as before this run\\)",
     true,
     {"test-load", "test-dump", "firmware-erase", "firmware-transfer"}},
};

class EventsAgainstSim : public ::testing::TestWithParam<EventCase> {};

TEST_P(EventsAgainstSim, JsonLinesEndWithTheResultAndTheLogIsTimeStamped) {
  const EventCase& c = GetParam();
  ASSERT_FALSE(FullHome().empty());
  const std::string log = MakeTempFolder(std::string("r7700-events-") + c.name) + "/run.log";
  SimProcess sim(c.sim_args, kTestTimeScale);
  Strings args{"--home", FullHome(), "--port", sim.port(), "--json", "--log", log, "--trace"};
  args.insert(args.end(), c.tool_args.begin(), c.tool_args.end());
  const ToolResult run = RunTool(args, "", std::to_string(kTestTimeScale));
  const SimState state = ParseSimState(sim.Stop());
  ASSERT_FALSE(run.timed_out);
  EXPECT_EQ(run.status, c.status) << run.err;

  const std::vector<std::string> events = Lines(run.out);
  ASSERT_FALSE(events.empty());
  const std::regex object(R"(\{"t": [0-9]+\.[0-9]{3}, "event": "[a-z]+", .*\})");
  for (const std::string& event : events) EXPECT_TRUE(std::regex_match(event, object)) << event;
  const std::string& result = events.back();
  EXPECT_NE(result.find("\"event\": \"result\", \"port\": \"" + sim.port() +
                        "\", \"exit\": " + std::to_string(c.status) + ","),
            std::string::npos)
      << result;
  EXPECT_NE(result.find(std::string("\"firmware\": {\"outcome\": \"") + c.firmware + "\""),
            std::string::npos)
      << result;
  EXPECT_EQ(std::regex_search(result, std::regex(R"("instrument": \{"identity": "[^"]+", )"
                                                 R"("monitor_version": "[^"]+"\})")),
            c.identified)
      << result;
  EXPECT_NE(result.find(std::string("\"languages\": {\"outcome\": \"") + c.languages + "\""),
            std::string::npos)
      << result;
  // The plan comes first, before the question.
  const bool firmware = std::string(c.firmware) != "not-chosen";
  EXPECT_TRUE(events.front().find("\"event\": \"plan\", \"port\": \"" + sim.port() +
                                  "\", \"baud\": " + (firmware ? "115200" : "19200") +
                                  ", \"firmware\": {\"chosen\": " +
                                  (firmware ? "true" : "false")) != std::string::npos)
      << events.front();
  // A checksum is four hex digits, in JSON as in the text.
  EXPECT_TRUE(std::regex_search(events.front(), std::regex(R"("checksum": "[0-9A-F]{4}")")))
      << events.front();
  // Each phase has its own id beside its caption, which may repeat.
  Strings stages;
  const std::regex stage_id(R"re("event": "stage", .*"id": "([a-z-]+)", "name": ")re");
  for (const std::string& event : events) {
    if (std::smatch match; std::regex_search(event, match, stage_id)) stages.push_back(match[1]);
  }
  EXPECT_EQ(stages, c.stages) << run.out;
  // Every transfer that went through ends at 100 %.
  const std::string transfer = "\"stage\": \"Bytes transferred:\"";
  for (size_t i = 0; c.status == 0 && i < events.size(); ++i) {
    if (events[i].find("\"event\": \"stage\"") == std::string::npos ||
        events[i].find("\"name\": \"Bytes transferred:\"") == std::string::npos) {
      continue;
    }
    size_t last = i;
    for (size_t j = i + 1;
         j < events.size() && events[j].find("\"event\": \"stage\"") == std::string::npos; ++j) {
      if (events[j].find(transfer) != std::string::npos) last = j;
    }
    EXPECT_NE(events[last].find("\"percent\": 100}"), std::string::npos) << events[last];
  }
  // The status log went to stderr with the rest of the human output.
  EXPECT_EQ(run.out.find("\"text\": \"Preparing languages ...\"") == std::string::npos,
            c.status == 1);
  EXPECT_EQ(run.err.find("Preparing languages ...\n") == std::string::npos, c.status == 1);

  const std::vector<std::string> logged = Lines(ReadText(log));
  ASSERT_FALSE(logged.empty());
  const std::regex stamped(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z .*)");
  for (const std::string& line : logged) EXPECT_TRUE(std::regex_match(line, stamped)) << line;
  // A service record: the head first, the verdict last.
  EXPECT_TRUE(logged.front().ends_with("Z run: r7700-update " R7700_VERSION)) << logged.front();
  EXPECT_TRUE(std::regex_match(logged.back(), std::regex(std::string(".*Z verdict: ") + c.verdict)))
      << logged.back();
  ASSERT_TRUE(state.valid);
  if (c.status != 0) return;
  EXPECT_EQ(state.firmware_valid, firmware);
  if (firmware) return;
  EXPECT_TRUE(state.languages_valid);
  const std::string text = ReadText(log);
  EXPECT_NE(text.find("Z > crc 3b00004 ffffc\n"), std::string::npos);
  EXPECT_NE(text.find("Z < R7700>\n"), std::string::npos);
  EXPECT_TRUE(std::regex_search(text, std::regex("Z frame 3b00004 1024 bytes ack [0-9a-f]{2}\n")));
  EXPECT_NE(text.find("Z Language download complete!\n"), std::string::npos);
  EXPECT_NE(run.out.find("\"event\": \"stage\", \"port\": \"" + sim.port() +
                         "\", \"id\": \"languages-transfer\", \"name\": \"Bytes transferred:\"}"),
            std::string::npos);
}

// Runs appended to one log stay apart; each begins with its head and ends
// with its verdict, and --info files what it read.
TEST(ServiceRecord, RunsAppendedToOneLogEachHaveTheirHeadAndVerdict) {
  ASSERT_FALSE(FullHome().empty());
  const std::string log = MakeTempFolder("r7700-record") + "/shift.log";
  SimProcess sim({}, kTestTimeScale);
  const ToolResult info = RunTool({"--home", FullHome(), "-p", sim.port(), "--info", "--log", log},
                                  "", std::to_string(kTestTimeScale));
  const ToolResult refused =
      RunTool({"--home", FullHome(), "-p", "/dev/null", "--yes", "--log", log}, "", "1");
  sim.Stop();
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(refused.status, 3);

  const std::string text = ReadText(log);
  const size_t gap = text.find("\n\n");
  ASSERT_NE(gap, std::string::npos) << text;
  const std::string first = text.substr(0, gap + 1);
  const std::string second = text.substr(gap + 2);
  EXPECT_NE(first.find("Z command: r7700-update --home " + FullHome() + " -p " + sim.port() +
                       " --info --log " + log + "\n"),
            std::string::npos)
      << first;
  EXPECT_NE(first.find("Z identity    VQ R7700C Reflectometer"), std::string::npos) << first;
  EXPECT_TRUE(std::regex_search(first, std::regex("Z verdict: success, exit 0, 0:0.\n$"))) << first;
  EXPECT_NE(second.find("Z port: /dev/null, 19200 baud\n"), std::string::npos) << second;
  EXPECT_TRUE(std::regex_search(
      second, std::regex("Z firmware .*/data/vqvesk.bin: 4194304 bytes, checksum [0-9A-F]{4};")))
      << second;
  EXPECT_NE(second.find("Z cannot open /dev/null: not a terminal device"), std::string::npos);
  EXPECT_TRUE(second.ends_with(" verdict: startup-failed, exit 3, 0:00\n")) << second;
}

INSTANTIATE_TEST_SUITE_P(Runs, EventsAgainstSim, ::testing::ValuesIn(kEventCases),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace r7700::cli
