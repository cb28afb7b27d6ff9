// r7700-sim as a child process, spoken to over its pty by the core's POSIX
// serial backend, as the command-line tool does.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/serial_backend.h"
#include "link/serial_port.h"

namespace r7700 {
namespace {

constexpr double kTimeScale = 0.1;

struct SimProcess {
  explicit SimProcess(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid = fork();
    if (pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv{const_cast<char*>(R7700_SIM_PROGRAM)};
      for (std::string& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    FILE* output = fdopen(out[0], "r");
    char line[256] = {};
    if (output != nullptr && std::fgets(line, sizeof line, output) != nullptr) {
      slave = line;
      if (slave.ends_with('\n')) slave.pop_back();
    }
    if (output != nullptr) std::fclose(output);
  }
  // The exit status, or -1 when it did not end normally or within 15 s.
  int Wait() {
    int status = 0;
    pid_t ended = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
      usleep(10000);
    }
    if (ended != pid) return -1;  // the destructor kills it
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ~SimProcess() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  pid_t pid = -1;
  std::string slave;
};

// The next non-empty line, waiting up to 10 s of real time for it.
std::string NextLine(PortHandle port) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  char line[200];
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadPortLine(port, line, sizeof line) > 0) return line;
  }
  return "";
}

// Lines up to and including the first that begins with prefix.
std::string LineBeginning(PortHandle port, const std::string& prefix) {
  for (int i = 0; i < 10; ++i) {
    const std::string line = NextLine(port);
    if (line.starts_with(prefix) || line.empty()) return line;
  }
  return "";
}

void Say(PortHandle port, const std::string& text) {
  WritePort(port, text.data(), text.size());
}

// A name in the temporary folder that no other test run uses at the same time.
std::string TempName(const std::string& name) {
  return ::testing::TempDir() + name + "-" + std::to_string(getpid());
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SimPty, ServesAWholeSessionAcrossReopeningAndASpeedChange) {
  const std::string link = TempName("r7700-sim-link");
  const std::string state = TempName("r7700-sim-state.json");
  std::remove(state.c_str());
  unlink(link.c_str());
  ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0);  // a stale link is replaced
  SimProcess sim({"--time-scale", "0.1", "--link", link, "--state", state});
  ASSERT_TRUE(sim.slave.starts_with("/dev/pts/")) << sim.slave;
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(sim.slave, target);

  auto backend = MakePlatformSerialBackend(kTimeScale);
  ASSERT_NE(backend->Open(link).port, nullptr);  // probed and closed again
  auto port = backend->Open(link).port;
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->SetTimeouts(kPortTimeouts).ok);
  ASSERT_TRUE(port->ConfigureLine(19200).ok);
  Say(port.get(), "*idn?\n");
  EXPECT_EQ(NextLine(port.get()), "VQ R7700C Reflectometer, firmware 4.20");
  EXPECT_EQ(NextLine(port.get()), "<END>");
  Say(port.get(), "S27413:B5D08A9C3E1\n");
  EXPECT_EQ(LineBeginning(port.get(), "R7700"), "R7700>");

  Say(port.get(), "baud 115200\n");
  EXPECT_EQ(NextLine(port.get()), "Baud rate 115200");
  // As the tool does: a second for the instrument to switch, then the PC end.
  RealClock clock(kTimeScale);
  clock.Sleep(1000);
  ASSERT_TRUE(SetPortBaud(port.get(), 115200).ok);
  clock.Sleep(1000);
  Say(port.get(), "\n");
  EXPECT_EQ(LineBeginning(port.get(), "R7700"), "R7700>");
  Say(port.get(), "reboot\n");
  EXPECT_EQ(NextLine(port.get()), "Rebooting ...");
  port.reset();
  EXPECT_EQ(sim.Wait(), 0);

  const std::string json = ReadText(state);
  EXPECT_NE(json.find("\"rebooted\": true"), std::string::npos) << json;
  EXPECT_NE(json.find("\"baud\": 115200"), std::string::npos) << json;
  EXPECT_NE(json.find("\"commands\": [\"*idn?\", \"S27413:B5D08A9C3E1\", \"baud 115200\", \"\", "
                      "\"reboot\"]"),
            std::string::npos)
      << json;
  EXPECT_NE(access(link.c_str(), F_OK), 0);  // the link went with the simulator
  std::remove(state.c_str());
}

TEST(SimPty, StopsOnSigtermAndStillWritesItsState) {
  const std::string state = TempName("r7700-sim-term.json");
  std::remove(state.c_str());
  SimProcess sim({"--in-monitor", "--time-scale", "0.1", "--state", state});
  auto backend = MakePlatformSerialBackend(kTimeScale);
  auto port = backend->Open(sim.slave).port;
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->SetTimeouts(kPortTimeouts).ok);
  ASSERT_TRUE(port->ConfigureLine(19200).ok);
  Say(port.get(), "enh\n");
  EXPECT_EQ(NextLine(port.get()), "R7700>");
  kill(sim.pid, SIGTERM);
  EXPECT_EQ(sim.Wait(), 0);
  const std::string json = ReadText(state);
  EXPECT_NE(json.find("\"rebooted\": false"), std::string::npos) << json;
  EXPECT_NE(json.find("\"commands\": [\"enh\"]"), std::string::npos) << json;
  std::remove(state.c_str());
}

TEST(SimPty, UsageErrorsAndHelp) {
  SimProcess help({"--help"});
  EXPECT_EQ(help.slave, "usage: r7700-sim [options]");
  EXPECT_EQ(help.Wait(), 0);
  SimProcess version({"--version"});
  EXPECT_EQ(version.slave, "r7700-sim 4.2.0");
  EXPECT_EQ(version.Wait(), 0);
  SimProcess wrong({"--series", "D"});
  EXPECT_EQ(wrong.slave, "");
  EXPECT_EQ(wrong.Wait(), 64);
}

}  // namespace
}  // namespace r7700
