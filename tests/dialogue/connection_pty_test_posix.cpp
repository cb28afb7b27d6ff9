// EstablishConnection over a real pseudo-terminal against the r7700-sim
// program, through the POSIX serial backend, on scaled real time.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/resources/resource.h"
#include "dialogue/connection.h"
#include "link/clock.h"
#include "link/memory_window.h"
#include "link/run_context.h"
#include "link/serial_port.h"

extern char** environ;

namespace r7700 {
namespace {

// Ten times faster than a real instrument. The tool's 1000 ms pause after
// "baud" (100 ms here) is the time the simulator has to read that command
// before the PC end changes speed; on a busy machine much less than that
// lets it see the command at the new speed, garbled.
constexpr double kTimeScale = 0.1;

// r7700-sim as a child process; its first output line names the terminal.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(R7700_SIM_PATH));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, R7700_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    output_ = fdopen(out[0], "r");
    char line[256] = {};
    if (output_ != nullptr && std::fgets(line, sizeof line, output_) != nullptr) {
      pty_path_ = line;
      if (!pty_path_.empty() && pty_path_.back() == '\n') pty_path_.pop_back();
    }
  }
  ~SimProcess() { Stop(); }

  // Ends the simulator; true when it exited by itself with status 0.
  bool Stop() {
    if (pid_ <= 0) return false;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (output_ != nullptr) std::fclose(output_);
    output_ = nullptr;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  const std::string& pty_path() const { return pty_path_; }

 private:
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
  std::string pty_path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ConnectionOverPty, ApplicationIsBroughtTo115200AndVerified) {
  const std::string state_path = ::testing::TempDir() + "dialogue_pty_state.json";
  std::remove(state_path.c_str());
  SimProcess sim({"--time-scale", std::to_string(kTimeScale), "--state", state_path});
  ASSERT_FALSE(sim.pty_path().empty());

  MemoryWindow window;
  RealClock clock(kTimeScale);
  RunContext run{window, clock, {}, {}, {}, {}};
  std::unique_ptr<SerialBackend> backend = MakePlatformSerialBackend(kTimeScale);
  OwnedPort port = OpenPort(*backend, window, sim.pty_path(), kOpeningBaud);
  ASSERT_NE(port, nullptr);

  EXPECT_EQ(EstablishConnection(run, port.get(), 115200), kConnected);
  EXPECT_EQ(window.GetText(IDC_STATUS_LOG),
            "Initializing connection ...\r\nConnecting to target\r\nChange baudrate\r\n"
            "Check download...\r\nChecks done!\r\n");
  EXPECT_TRUE(window.boxes().empty());
  ClosePort(port);
  EXPECT_TRUE(sim.Stop());

  const std::string state = ReadFile(state_path);
  EXPECT_NE(state.find("\"baud\": 115200"), std::string::npos) << state;
  EXPECT_NE(state.find("\"S27413:B5D08A9C3E1\", \"baud 115200\""), std::string::npos) << state;
  EXPECT_NE(state.find("\"crc 840000 2800\", \"dm 840000\""), std::string::npos) << state;
  EXPECT_NE(state.find("\"dm 840050\"]"), std::string::npos) << state;
}

}  // namespace
}  // namespace r7700
