// The r7700-sim program as a child process, and a port to its terminal, for
// the tests and benchmarks that talk to it over a real pseudo-terminal.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/control_ids.h"
#include "link/memory_window.h"
#include "link/run_context.h"
#include "link/serial_port.h"

extern char** environ;

namespace r7700 {

// r7700-sim as a child process; its first output line names the terminal.
class SimProcess {
 public:
  SimProcess(const char* program, const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program, &actions, nullptr, argv.data(), environ) != 0) {
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
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

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

// A session with r7700-sim on scaled real time: the program (writing its
// final state to state_path), and a port opened to its terminal at the
// opening speed, with a window in memory and a run context.
struct PtySession {
  PtySession(const char* program, double time_scale, const std::string& state_path)
      : sim(program, FreshStateArgs(time_scale, state_path)),
        clock(time_scale),
        backend(MakePlatformSerialBackend(time_scale)) {
    if (!sim.pty_path().empty()) port = OpenPort(*backend, window, sim.pty_path(), kOpeningBaud);
  }

  std::string Log() { return window.GetText(IDC_STATUS_LOG); }

  SimProcess sim;
  MemoryWindow window;
  RealClock clock;
  RunContext run{window, clock, {}, {}, {}, {}};
  std::unique_ptr<SerialBackend> backend;
  OwnedPort port;

 private:
  static std::vector<std::string> FreshStateArgs(double time_scale, const std::string& path) {
    std::remove(path.c_str());
    return {"--time-scale", std::to_string(time_scale), "--state", path};
  }
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace r7700
