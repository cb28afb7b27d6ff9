// EstablishConnection over a real pseudo-terminal against the r7700-sim
// program, through the POSIX serial backend, on scaled real time.
#include <gtest/gtest.h>

#include <string>

#include "dialogue/connection.h"
#include "tests/dialogue/sim_process_posix.h"

namespace r7700 {
namespace {

// Ten times faster than a real instrument. The tool's 1000 ms pause after
// "baud" (100 ms here) is the time the simulator has to read that command
// before the PC end changes speed; on a busy machine much less than that
// lets it see the command at the new speed, garbled.
constexpr double kTimeScale = 0.1;

TEST(ConnectionOverPty, ApplicationIsBroughtTo115200AndVerified) {
  const std::string state_path = ::testing::TempDir() + "dialogue_pty_state.json";
  PtySession session(R7700_SIM_PATH, kTimeScale, state_path);
  ASSERT_NE(session.port, nullptr);

  EXPECT_EQ(EstablishConnection(session.run, session.port.get(), 115200), kConnected);
  EXPECT_EQ(session.Log(),
            "Initializing connection ...\r\nConnecting to target\r\nChange baudrate\r\n"
            "Check download...\r\nChecks done!\r\n");
  EXPECT_TRUE(session.window.boxes().empty());
  ClosePort(session.port);
  EXPECT_TRUE(session.sim.Stop());

  const std::string state = ReadFile(state_path);
  EXPECT_NE(state.find("\"baud\": 115200"), std::string::npos) << state;
  EXPECT_NE(state.find("\"S27413:B5D08A9C3E1\", \"baud 115200\""), std::string::npos) << state;
  EXPECT_NE(state.find("\"crc 840000 2800\", \"dm 840000\""), std::string::npos) << state;
  EXPECT_NE(state.find("\"dm 840050\"]"), std::string::npos) << state;
}

}  // namespace
}  // namespace r7700
