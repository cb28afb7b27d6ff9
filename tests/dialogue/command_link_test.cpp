#include "dialogue/command_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/clock.h"
#include "link/memory_window.h"
#include "tests/dialogue/scripted_line.h"

namespace r7700 {
namespace {

// A wait that hears nothing spends the idle limit on each of its line reads.
constexpr int kIdleReadsPerSilentWait = kPromptReadsPerWait * kLineIdleLimit;

class CommandLinkTest : public ::testing::Test {
 protected:
  std::string NextLine() {
    ReplyLine reply;
    ReadReply(port_, reply);
    return std::string(reply.view());
  }

  VirtualClock clock_;
  ScriptedLine line_{clock_};
  PortHandle port_ = &line_;
};

TEST_F(CommandLinkTest, PromptIsRecognisedByItsExactPrefixOnly) {
  line_.Queue(" R7700>\nr7700>\nR770\nR7700 Monitor V2.1\nnext\n");
  ReplyLine reply;
  EXPECT_EQ(WaitForPrompt(port_, MonitorPrompt, &reply), 1);
  // "R7700 Monitor" satisfies a prompt wait; the wait stops at the match.
  EXPECT_EQ(reply.view(), "R7700 Monitor V2.1");
  EXPECT_EQ(NextLine(), "next");
}

TEST_F(CommandLinkTest, PromptWithoutLineEndIsRecognisedAfterTheIdleLimit) {
  line_.Queue("R7700>");
  ReplyLine reply;
  EXPECT_EQ(WaitForPrompt(port_, MonitorPrompt, &reply), 1);
  EXPECT_EQ(reply.view(), "R7700>");
  EXPECT_EQ(reply.result, -1);
  EXPECT_EQ(line_.idle_reads(), kLineIdleLimit);
}

TEST_F(CommandLinkTest, TenForeignLinesEndTheWaitAndLeaveTheReplyEmpty) {
  for (int i = 0; i < 10; ++i) line_.Queue("\n");
  line_.Queue("R7700>\n");
  ReplyLine reply;
  std::copy_n("stale", 6, reply.text.begin());
  EXPECT_EQ(WaitForPrompt(port_, MonitorPrompt, &reply), 0);
  EXPECT_EQ(reply.view(), "");
  // Empty lines count as reads: the prompt behind them is still unread.
  EXPECT_EQ(NextLine(), "R7700>");
}

TEST_F(CommandLinkTest, OverlongLineIsTestedOnItsFirst199Characters) {
  line_.Queue("R7700" + std::string(245, '-') + "\n");
  ReplyLine reply;
  EXPECT_EQ(WaitForPrompt(port_, MonitorPrompt, &reply), 1);
  EXPECT_EQ(reply.view().size(), 199u);
  EXPECT_EQ(NextLine(), std::string(51, '-'));

  // A prompt pushed behind 199 characters arrives as the next line.
  line_.Queue(std::string(199, 'x') + "R7700>\n");
  EXPECT_EQ(WaitForPrompt(port_, MonitorPrompt, &reply), 1);
  EXPECT_EQ(reply.view(), "R7700>");
}

TEST_F(CommandLinkTest, SilentMonitorGetsEightWaitsAndSevenNudges) {
  EXPECT_EQ(AwaitMonitorPrompt(port_, clock_), 3);
  EXPECT_EQ(line_.sent(), std::string(7, '\n'));
  EXPECT_EQ(line_.idle_reads(), 8 * kIdleReadsPerSilentWait);
}

TEST_F(CommandLinkTest, PromptAfterTheSecondNudgeEndsTheWaiting) {
  int nudges = 0;
  line_.respond = [&](const std::string& text) {
    return text.empty() && ++nudges == 2 ? std::string("R7700>\n") : std::string();
  };
  EXPECT_EQ(AwaitMonitorPrompt(port_, clock_), 0);
  EXPECT_EQ(line_.sent(), "\n\n");
  // Waits 1 to 3 found nothing; the first was followed by no nudge.
  EXPECT_EQ(line_.idle_reads(), 3 * kIdleReadsPerSilentWait);
}

TEST_F(CommandLinkTest, Word32IsBigEndianOneByteAWrite) {
  SendWord32(port_, 0);
  SendWord32(port_, 0x840000);
  SendWord32(port_, 0x12345678);
  EXPECT_EQ(line_.sent(), std::string("\0\0\0\0\0\x84\0\0\x12\x34\x56\x78", 12));
  EXPECT_EQ(line_.write_calls(), std::vector<uint32_t>(12, 1));
}

TEST_F(CommandLinkTest, DownloaderFrames) {
  SendEndBlock(port_);
  EXPECT_EQ(line_.sent(), std::string("\x4A\0\0\0\0", 5));

  const uint8_t data[] = {0x01, 0x02, 0x04, 0xF0};
  SendLoadBlock(port_, data, sizeof data, 0x1234);
  EXPECT_EQ(line_.sent().substr(5), std::string("\x4A\0\0\0\x04\0\0\x12\x34\x01\x02\x04\xF0", 13));
  EXPECT_EQ(BlockXor(data, sizeof data), 0xF7);
  EXPECT_EQ(BlockXor(data, 0), 0);
}

TEST_F(CommandLinkTest, CommandIsFormattedAndSentInOneWrite) {
  SendCommand(port_, "crc %lx %lx\n", 0x840000ul, 0x2800ul);
  SendText(port_, WakeUpLine);
  EXPECT_EQ(line_.sent(), "crc 840000 2800\nS27413:B5D08A9C3E1\n");
  EXPECT_EQ(line_.write_calls(), (std::vector<uint32_t>{16, 19}));
}

// What a front end hears of the dialogue: the commands and reply lines as
// sent and read, frames apart, a silent read not at all.
struct HeardDialogue : MemoryWindow {
  void CommandSent(std::string_view line) override { heard.push_back("> " + std::string(line)); }
  void LineReceived(std::string_view line) override { heard.push_back("< " + std::string(line)); }
  std::vector<std::string> heard;
};

TEST_F(CommandLinkTest, ThePortsObserverHearsCommandsAndReplyLinesButNotFrames) {
  HeardDialogue observer;
  line_.ReportDialogueTo(&observer);
  line_.Queue("VQ Downloader 2.1\r\n");
  SendText(port_, "ramload\n");
  EXPECT_EQ(NextLine(), "VQ Downloader 2.1");
  SendEndBlock(port_);
  EXPECT_EQ(NextLine(), "");
  line_.Queue("R7700>");
  SendText(port_, Nudge);
  EXPECT_EQ(NextLine(), "R7700>");
  EXPECT_EQ(observer.heard,
            (std::vector<std::string>{"> ramload", "< VQ Downloader 2.1", "> ", "< R7700>"}));
}

TEST(ParseHexReply, ReadsLeadingHexInEitherCase) {
  const auto parse = [](const std::string& text, uint32_t* value) {
    ReplyLine reply;
    std::copy(text.begin(), text.end(), reply.text.begin());
    return ParseHexReply(reply, value);
  };
  uint32_t value = 0;
  EXPECT_TRUE(parse("c0f9", &value));
  EXPECT_EQ(value, 0xC0F9u);
  EXPECT_TRUE(parse("00C0F9 trailing", &value));
  EXPECT_EQ(value, 0xC0F9u);
  EXPECT_TRUE(parse("ffffffff", &value));
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_FALSE(parse("", &value));
  EXPECT_FALSE(parse("R7700>", &value));
  // Wider than 32 bits: refused rather than cut down to c0f9.
  EXPECT_FALSE(parse("10000c0f9", &value));
}

}  // namespace
}  // namespace r7700
