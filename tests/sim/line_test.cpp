// The line between the PC and the instrument: speeds, pacing, purges and
// the port's opening and closing.
#include <gtest/gtest.h>

#include <string>

#include "sim/instrument.h"
#include "sim/line_timing.h"
#include "tests/sim/sim_test_rig.h"

namespace r7700::test {
namespace {

TEST(SimLine, AtAnotherSpeedNothingIsAnsweredAndWhatIsHeardIsGarbage) {
  SimRig rig;
  ASSERT_TRUE(SetPortBaud(rig.port.get(), 9600).ok);
  EXPECT_EQ(rig.Ask("*idn?\n", "\r\n"), "");
  EXPECT_TRUE(rig.backend.received().empty());
  EXPECT_TRUE(rig.instrument.commands().empty());
  ASSERT_TRUE(SetPortBaud(rig.port.get(), 19200).ok);
  // The garbage heard before is the start of the next line.
  EXPECT_EQ(rig.Ask("*idn?\n", "\r\n"), "ERROR<END>\r\n");
  EXPECT_EQ(rig.Ask("*idn?\n", "<END>\r\n"), "VQ R7700C Reflectometer, firmware 4.20\r\n<END>\r\n");
}

TEST(SimLine, WritesAndRepliesTakeTheirLineTime) {
  int64_t reply_us[2];
  for (int32_t baud : {19200, 115200}) {
    sim::InstrumentConfig config = InMonitor();
    config.initial_baud = baud;
    config.lenient = true;  // a line of blanks is a nudge
    SimRig rig(config);
    const int64_t before_us = rig.clock.NowMicros();
    rig.Send(std::string(99, ' ') + "\n");
    EXPECT_EQ(rig.clock.NowMicros() - before_us, sim::LineMicros(100, baud));
    const int64_t sent_us = rig.clock.NowMicros();
    EXPECT_EQ(rig.ReadUntil(kPrompt), kPrompt);
    reply_us[baud == 19200 ? 0 : 1] = rig.clock.NowMicros() - sent_us;
    EXPECT_GE(rig.clock.NowMicros() - sent_us, sim::LineMicros(kPrompt.size(), baud));
  }
  EXPECT_EQ(reply_us[0] - reply_us[1],
            sim::LineMicros(kPrompt.size(), 19200) - sim::LineMicros(kPrompt.size(), 115200));
}

TEST(SimLine, PurgeLosesWhatArrivedButNotWhatIsStillToCome) {
  SimRig rig(InMonitor());
  rig.Send("\n");
  rig.clock.Sleep(100);
  rig.Send("erase 3b00000 100000 10000\n");
  ASSERT_TRUE(rig.port->Purge().ok);  // the nudge's prompt is gone, the erase's is still to come
  EXPECT_EQ(rig.backend.purge_count(), 1);
  EXPECT_EQ(rig.ReadUntil(kPrompt, 16000), kPrompt);
  EXPECT_EQ(rig.ReadFor(1000), "");
}

TEST(SimLine, OnePortAtATimeAndNothingReceivedWhileClosed) {
  SimRig rig(InMonitor());
  EXPECT_EQ(rig.backend.CandidatePortNames(), (std::vector<std::string>{"SIM"}));
  EXPECT_EQ(rig.backend.Open("SIM").port, nullptr);
  EXPECT_EQ(rig.backend.Open("COM1").port, nullptr);
  rig.Send("ver\n");
  rig.port.reset();
  rig.clock.Sleep(1000);
  rig.port = rig.backend.Open("SIM").port;
  ASSERT_NE(rig.port, nullptr);
  ASSERT_TRUE(rig.port->SetTimeouts(kPortTimeouts).ok);
  EXPECT_EQ(rig.ReadFor(1000), "");
  EXPECT_EQ(rig.Ask("\n"), kPrompt);
  EXPECT_EQ(std::string(rig.backend.sent().begin(), rig.backend.sent().end()), "ver\n\n");
  EXPECT_EQ(std::string(rig.backend.received().begin(), rig.backend.received().end()), kPrompt);
}

}  // namespace
}  // namespace r7700::test
