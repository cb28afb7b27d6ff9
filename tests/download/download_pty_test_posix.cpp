// A whole firmware download over a real pseudo-terminal against the
// r7700-sim program, through the POSIX serial backend, on scaled real time.
#include <gtest/gtest.h>

#include <string>

#include "dialogue/command_link.h"
#include "dialogue/connection.h"
#include "download/firmware_download.h"
#include "tests/dialogue/sim_process_posix.h"
#include "tests/download/images.h"

namespace r7700 {
namespace {

// Twenty times faster than a real instrument: the download's 8 minutes at
// 115200 baud take about 25 s. Faster still would leave the simulator too
// little time to read "baud" before the PC end changes speed.
constexpr double kTimeScale = 0.05;

TEST(FirmwareDownloadOverPty, ConnectDownloadAndReboot) {
  const std::string state_path = ::testing::TempDir() + "download_pty_state.json";
  PtySession session(R7700_SIM_PATH, kTimeScale, state_path);
  ASSERT_NE(session.port, nullptr);
  RunContext& run = session.run;
  run.firmware_image_path = ::testing::TempDir() + "pty_vqvesk.bin";
  test::WriteMaskedFirmware(run.firmware_image_path, kFirmwareRegionBytes);

  ASSERT_EQ(EstablishConnection(run, session.port.get(), 115200), kConnected) << session.Log();
  EXPECT_EQ(DownloadFirmwareImage(run, session.port.get()), 0) << session.Log();
  // As the update run ends: reboot, and one reply line read.
  SendText(session.port.get(), "reboot\n");
  ReplyLine reply;
  ReadReply(session.port.get(), reply);
  ClosePort(session.port);
  session.sim.Stop();

  const std::string state = ReadFile(state_path);
  EXPECT_NE(state.find("\"rebooted\": true"), std::string::npos) << state;
  EXPECT_NE(state.find("\"firmware_valid\": true"), std::string::npos) << state;
  EXPECT_NE(state.find("\"erase 3c00000 3f0000 10000\", \"flashload\""), std::string::npos)
      << state;
  EXPECT_NE(state.find("\"crc 3c00000 3efffc\""), std::string::npos) << state;
  EXPECT_NE(session.Log().find("Checksum ok!\r\n"), std::string::npos);
}

}  // namespace
}  // namespace r7700
