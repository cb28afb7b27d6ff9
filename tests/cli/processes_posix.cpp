#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/cli/processes.h"

extern char** environ;

namespace r7700::cli {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr int kSimStopSeconds = 20;
constexpr unsigned short kTerminalRows = 24;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Overwrites the file's bytes where they are (same inode, same length), as
// an editor saving over it would.
void InvertInPlace(const std::string& path) {
  std::string bytes = ReadFile(path);
  for (char& byte : bytes) byte = static_cast<char>(~byte);
  std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The parent's environment with R7700_TIME_SCALE replaced, and TMP when
// temp_folder is given.
std::vector<std::string> Environment(const std::string& time_scale,
                                     const std::string& temp_folder = {}) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view variable(*entry);
    if (variable.starts_with("R7700_TIME_SCALE=")) continue;
    if (!temp_folder.empty() && (variable.starts_with("TMP=") || variable.starts_with("TMPDIR="))) {
      continue;
    }
    env.emplace_back(*entry);
  }
  env.push_back("R7700_TIME_SCALE=" + time_scale);
  if (!temp_folder.empty()) env.push_back("TMP=" + temp_folder);
  return env;
}

// In Spawn's descriptor list: close this descriptor in the child.
constexpr int kClosedInChild = -2;

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Forks and execs program; in the child, fds[i] becomes descriptor i where
// fds[i] >= 0. Returns the child's pid.
pid_t Spawn(const char* program, std::vector<std::string> args, std::vector<std::string> env,
            const std::vector<int>& fds) {
  args.insert(args.begin(), program);
  std::vector<char*> argv = Pointers(args);
  std::vector<char*> envp = Pointers(env);
  const pid_t pid = fork();
  if (pid == 0) {
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i] >= 0) dup2(fds[i], static_cast<int>(i));
      if (fds[i] == kClosedInChild) close(static_cast<int>(i));
    }
    execve(program, argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

// Waits for the child up to limit; kills it when the time is up. The exit
// status, or -1 when it did not exit normally.
int WaitBounded(pid_t pid, std::chrono::seconds limit, bool* timed_out) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      if (timed_out != nullptr) *timed_out = true;
      return -1;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// True while the child has not ended; it is left to be waited for.
bool Running(pid_t pid) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + name + "-" + std::to_string(getpid());
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& args, const std::string& input,
                   const std::string& time_scale, int time_limit_seconds) {
  const std::string in_path = TempPath("r7700-update-in");
  const std::string out_path = TempPath("r7700-update-out");
  const std::string err_path = TempPath("r7700-update-err");
  std::ofstream(in_path, std::ios::binary | std::ios::trunc) << input;
  const int in = open(in_path.c_str(), O_RDONLY | O_CLOEXEC);
  const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ToolResult result;
  const pid_t pid = Spawn(R7700_UPDATE_PROGRAM, args, Environment(time_scale), {in, out, err});
  close(in);
  close(out);
  close(err);
  result.status = WaitBounded(pid, std::chrono::seconds(time_limit_seconds), &result.timed_out);
  result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  for (const std::string& path : {in_path, out_path, err_path}) std::remove(path.c_str());
  return result;
}

ToolResult RunToolOnTerminal(const std::vector<std::string>& args, const std::string& time_scale,
                             int columns) {
  ToolResult result;
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return result;
  winsize size{};
  size.ws_col = static_cast<unsigned short>(columns);
  size.ws_row = kTerminalRows;
  ioctl(master, TIOCSWINSZ, &size);
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  const pid_t pid =
      Spawn(R7700_UPDATE_PROGRAM, args, Environment(time_scale), {terminal, terminal, terminal});
  close(terminal);
  // Read while it runs: a full pty would stop the program.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(kToolTimeLimitSeconds);
  int status = 0;
  for (bool running = true; running;) {
    running = waitpid(pid, &status, WNOHANG) == 0;
    pollfd ready{master, POLLIN, 0};
    while (poll(&ready, 1, running ? static_cast<int>(kPollInterval.count()) : 0) > 0) {
      char buffer[4096];
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      result.out.append(buffer, static_cast<size_t>(n));
    }
    if (running && std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.timed_out = true;
      running = false;
    }
  }
  close(master);
  result.status = !result.timed_out && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Several simulators at once (one per port) need a state file each.
std::string NextStatePath() {
  static int instances = 0;
  return TempPath("r7700-sim-state") + "-" + std::to_string(++instances) + ".json";
}

ToolResult RunDisturbedTool(const std::vector<std::string>& args, const std::string& time_scale,
                            const Disturbance& disturbance) {
  using Output = Disturbance::Output;
  const std::string out_path = TempPath("r7700-update-out");
  const std::string err_path = TempPath("r7700-update-err");
  int in = -1;
  int answer_to = -1;
  if (disturbance.answer.empty()) {
    in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  } else {
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return {};
    in = pipe_fds[0];
    answer_to = pipe_fds[1];
  }
  int out = kClosedInChild;
  int reader = -1;
  if (disturbance.output == Output::kFile) {
    out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  } else if (disturbance.output == Output::kReaderGone) {
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return {};
    reader = pipe_fds[0];
    out = pipe_fds[1];
  }
  const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t pid = Spawn(R7700_UPDATE_PROGRAM, args,
                          Environment(time_scale, disturbance.temp_folder), {in, out, err});
  for (const int fd : {in, out, err, reader}) {
    if (fd >= 0) close(fd);
  }
  if (disturbance.signal_number != 0 || !disturbance.rewritten_file.empty() || answer_to >= 0) {
    const std::string& watched =
        disturbance.output == Output::kFile && answer_to < 0 ? out_path : err_path;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(kToolTimeLimitSeconds);
    while (ReadFile(watched).find(disturbance.signal_after) == std::string::npos && Running(pid) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(kPollInterval);
    }
    if (disturbance.signal_number != 0) kill(pid, disturbance.signal_number);
    if (!disturbance.rewritten_file.empty()) InvertInPlace(disturbance.rewritten_file);
    if (disturbance.step) disturbance.step();
  }
  if (answer_to >= 0) {
    const ssize_t written = write(answer_to, disturbance.answer.data(), disturbance.answer.size());
    EXPECT_EQ(written, static_cast<ssize_t>(disturbance.answer.size()));
    close(answer_to);
  }
  ToolResult result;
  result.status = WaitBounded(pid, std::chrono::seconds(kToolTimeLimitSeconds), &result.timed_out);
  result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  for (const std::string& path : {out_path, err_path}) std::remove(path.c_str());
  return result;
}

SimProcess::SimProcess(const std::vector<std::string>& args, double time_scale)
    : state_path_(NextStatePath()) {
  std::remove(state_path_.c_str());
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return;
  std::vector<std::string> all = args;
  all.insert(all.end(), {"--state", state_path_});
  pid_ = Spawn(R7700_SIM_PROGRAM, all, Environment(std::to_string(time_scale)), {-1, pipe_fds[1]});
  close(pipe_fds[1]);
  // The first line of output is the pty's path.
  FILE* output = fdopen(pipe_fds[0], "r");
  char line[256] = {};
  if (output != nullptr && std::fgets(line, sizeof line, output) != nullptr) {
    port_ = line;
    if (port_.ends_with('\n')) port_.pop_back();
  }
  if (output != nullptr) std::fclose(output);
}

SimProcess::~SimProcess() {
  Stop();
  std::remove(state_path_.c_str());
}

std::string SimProcess::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    WaitBounded(pid_, std::chrono::seconds(kSimStopSeconds), nullptr);
    pid_ = -1;
  }
  return ReadFile(state_path_);
}

bool MakeSampleData(const std::string& folder, const std::vector<std::string>& args) {
  std::vector<std::string> all{folder};
  all.insert(all.end(), args.begin(), args.end());
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t pid = Spawn(R7700_SAMPLE_DATA_PROGRAM, all, Environment("1"), {-1, null});
  close(null);
  return WaitBounded(pid, std::chrono::seconds(60), nullptr) == 0;
}

std::string MakeTempFolder(const std::string& name) {
  const std::string folder = TempPath(name);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace r7700::cli
