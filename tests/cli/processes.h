// The programs under test as child processes: r7700-update run to its end
// with a time bound, and r7700-sim serving a pty until it is stopped.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace r7700::cli {

// Generous real-time bound of one r7700-update run under test.
inline constexpr int kToolTimeLimitSeconds = 240;

struct ToolResult {
  int status = -1;         // exit status; -1 when it did not exit normally
  bool timed_out = false;  // killed at the time limit
  std::string out;         // stdout
  std::string err;         // stderr
};

// Runs r7700-update with args and R7700_TIME_SCALE set to time_scale, input
// as its stdin (empty: end of input at once), stdout and stderr captured.
ToolResult RunTool(const std::vector<std::string>& args, const std::string& input,
                   const std::string& time_scale, int time_limit_seconds = kToolTimeLimitSeconds);

// What happens to a run under test from outside: its standard output, its
// temporary folder, and a signal sent, a file rewritten or the question
// answered once its output shows a text.
struct Disturbance {
  enum class Output { kFile, kClosed, kReaderGone };
  Output output = Output::kFile;  // kClosed: started with descriptor 1 closed
  std::string temp_folder = {};   // TMP for the tool; empty: the parent's
  int signal_number = 0;          // none when 0
  std::string signal_after = {};  // on stdout, or on stderr when stdout is no file
  // Every byte of this file inverted in place, same length (none when empty).
  std::string rewritten_file = {};
  // Given: stdin is a pipe, and once stderr (where the question is asked)
  // shows signal_after, step runs and then answer is written and stdin
  // closed. Empty: end of input at once.
  std::string answer = {};
  std::function<void()> step = {};
};

// RunTool with end of input at once and the disturbance applied.
ToolResult RunDisturbedTool(const std::vector<std::string>& args, const std::string& time_scale,
                            const Disturbance& disturbance);

// Runs r7700-update with stdin, stdout and stderr on one pty of the given
// width, as in a terminal window; out gets everything it wrote there.
ToolResult RunToolOnTerminal(const std::vector<std::string>& args, const std::string& time_scale,
                             int columns);

// r7700-sim on a fresh pty, writing its final state to a file.
class SimProcess {
 public:
  SimProcess(const std::vector<std::string>& args, double time_scale);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The pty the instrument listens on; empty when it did not start.
  const std::string& port() const { return port_; }
  // Stops the simulator (it may have ended by itself after a reboot) and
  // returns its final state as JSON; empty when none was written.
  std::string Stop();

 private:
  int pid_ = -1;
  std::string port_;
  std::string state_path_;
};

// Runs r7700-make-sample-data into folder with the extra args; true on
// success.
bool MakeSampleData(const std::string& folder, const std::vector<std::string>& args);

// A fresh empty folder under the test's temporary folder.
std::string MakeTempFolder(const std::string& name);

}  // namespace r7700::cli
