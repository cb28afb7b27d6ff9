// The pty end of r7700-sim. The PC end's speed is read with tcgetattr on
// the master: on Linux the master reports the termios its slave was given,
// so a speed change by the tool on the slave is seen here. While no client
// has the slave open, reading the master fails with EIO; the server keeps
// polling, and what the instrument sends meanwhile is lost, as on a cable
// with nobody listening.
#include <fcntl.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "sim/flash_file.h"
#include "sim/instrument.h"
#include "sim/line_timing.h"
#include "sim/pty_server.h"
#include "sim/sim_line.h"

namespace r7700::sim {
namespace {

constexpr int64_t kMaxPollUs = 50000;   // real time between looks at the terminal
constexpr int64_t kNoClientUs = 10000;  // real time between looks while nobody listens
// After the reboot line the server waits this long (real time) at most for
// the client to read it and close the port.
constexpr int64_t kRebootLingerUs = 2000000;
// A line carries no more than its speed: input is taken in no further than
// this far ahead of what has arrived by now, and a writer that runs ahead
// waits for the terminal instead of filling the simulator's memory.
constexpr int64_t kMaxInputAheadBytes = 16384;

int64_t MonotonicMicros() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000;
}

int32_t PcBaud(int master) {
  termios settings{};
  if (tcgetattr(master, &settings) != 0) return 0;
  switch (cfgetospeed(&settings)) {
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    default:
      return 0;  // no rate the instrument could ever match
  }
}

void EmptyHandler(int) {}

// Ignores SIGTERM and SIGINT except while waiting: then they end the wait
// with EINTR, and the loop ends in good order.
void PrepareSignals(sigset_t* wait_mask) {
  struct sigaction action {};
  action.sa_handler = EmptyHandler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGINT);
  sigprocmask(SIG_BLOCK, &blocked, wait_mask);
  sigdelset(wait_mask, SIGTERM);
  sigdelset(wait_mask, SIGINT);
}

// Waits up to wait_us for the master to become readable (when watched).
// Returns -1 when a signal asked the server to stop.
int Wait(int master, bool watch, int64_t wait_us, const sigset_t& wait_mask) {
  fd_set readable;
  FD_ZERO(&readable);
  if (watch) FD_SET(master, &readable);
  timespec timeout{static_cast<time_t>(wait_us / 1000000),
                   static_cast<long>(wait_us % 1000000) * 1000};
  const int ready = pselect(master + 1, &readable, nullptr, nullptr, &timeout, &wait_mask);
  if (ready < 0) return errno == EINTR ? -1 : 0;
  return ready;
}

bool MakeLink(const std::string& link, const std::string& target) {
  struct stat existing {};
  if (lstat(link.c_str(), &existing) == 0) {
    // Only a stale link is replaced, never a file someone put there.
    if (!S_ISLNK(existing.st_mode) || unlink(link.c_str()) != 0) return false;
  }
  return symlink(target.c_str(), link.c_str()) == 0;
}

void RemoveLink(const std::string& link, const std::string& target) {
  char points_to[4096];
  const ssize_t n = readlink(link.c_str(), points_to, sizeof points_to - 1);
  if (n > 0 && std::string(points_to, static_cast<size_t>(n)) == target) unlink(link.c_str());
}

int OpenMaster(std::string* slave_path) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) return -1;
  fcntl(master, F_SETFD, FD_CLOEXEC);
  const char* name = grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : nullptr;
  if (name == nullptr) {
    close(master);
    return -1;
  }
  *slave_path = name;
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  termios settings{};
  tcgetattr(master, &settings);
  cfmakeraw(&settings);
  tcsetattr(master, TCSANOW, &settings);
  return master;
}

// The serving loop. Returns when the instrument has rebooted (and its last
// line has been read or the linger time is over) or on a signal.
void Serve(int master, Instrument& instrument, double time_scale, const sigset_t& wait_mask) {
  const int64_t start_us = MonotonicMicros();
  auto sim_now = [&] {
    return static_cast<int64_t>(static_cast<double>(MonotonicMicros() - start_us) / time_scale);
  };
  int64_t reboot_seen_us = -1;
  bool client = true;
  std::string outbox;  // sent by the instrument, not yet taken by the terminal
  uint8_t bytes[4096];
  for (;;) {
    const size_t n = instrument.Transmit(bytes, sizeof bytes, sim_now(), PcBaud(master));
    outbox.append(reinterpret_cast<const char*>(bytes), n);
    if (!outbox.empty()) {
      const ssize_t written = write(master, outbox.data(), outbox.size());
      if (written > 0) outbox.erase(0, static_cast<size_t>(written));
      if (written < 0 && errno == EIO) client = false;
      if (!client) outbox.clear();  // nobody listens: the bytes are lost
    }
    const bool done_talking = instrument.NextOutputMicros() == kNever && outbox.empty();
    if (done_talking && instrument.rebooted()) {
      if (reboot_seen_us < 0) reboot_seen_us = MonotonicMicros();
      if (!client || MonotonicMicros() - reboot_seen_us > kRebootLingerUs) return;
    }
    int64_t wait_us = client ? kMaxPollUs : kNoClientUs;
    if (!outbox.empty()) {
      wait_us = std::min<int64_t>(wait_us, kNoClientUs);
    } else if (!done_talking) {
      const double due_us =
          static_cast<double>(instrument.NextOutputMicros() - sim_now()) * time_scale;
      wait_us = std::clamp<int64_t>(static_cast<int64_t>(due_us), 0, wait_us);
    }
    const int64_t ahead_us = instrument.InputFreeMicros() - sim_now();
    const int64_t allowed_us = LineMicros(kMaxInputAheadBytes, instrument.baud());
    const bool takes_input = ahead_us <= allowed_us;
    if (!takes_input) {
      const double due_us = static_cast<double>(ahead_us - allowed_us) * time_scale;
      wait_us = std::clamp<int64_t>(static_cast<int64_t>(due_us), 0, wait_us);
    }
    const int ready = Wait(master, client && takes_input, wait_us, wait_mask);
    if (ready < 0) return;
    if (!takes_input) continue;
    if (ready == 0 && client) continue;
    const ssize_t got = read(master, bytes, sizeof bytes);
    if (got > 0) {
      client = true;
      instrument.Receive(bytes, static_cast<size_t>(got), sim_now(), PcBaud(master));
    } else {
      // EIO: nobody has the slave open (yet, or any more). Look again later.
      client = got < 0 && (errno == EAGAIN || errno == EINTR);
    }
  }
}

}  // namespace

int ServeOnPty(const SimOptions& options) {
  // From here on a stop request waits for the loop, which writes the state.
  sigset_t wait_mask;
  PrepareSignals(&wait_mask);
  std::string slave_path;
  const int master = OpenMaster(&slave_path);
  if (master < 0) {
    std::perror("r7700-sim: cannot open a pseudo-terminal");
    return 1;
  }
  // The link exists before the path is announced, so a client may use either at once.
  if (!options.link_path.empty() && !MakeLink(options.link_path, slave_path)) {
    std::fprintf(stderr, "r7700-sim: cannot make the link %s\n", options.link_path.c_str());
    close(master);
    return 1;
  }
  std::printf("%s\n", slave_path.c_str());
  std::fflush(stdout);
  Instrument instrument(options.config);
  const bool keeps_flash = !options.flash_path.empty();
  if (keeps_flash && !LoadFlashFile(options.flash_path, instrument)) {
    std::fprintf(stderr, "r7700-sim: cannot read the flash file %s\n", options.flash_path.c_str());
    if (!options.link_path.empty()) RemoveLink(options.link_path, slave_path);
    close(master);
    return 1;
  }
  Serve(master, instrument, options.time_scale, wait_mask);
  int status = 0;
  if (keeps_flash && !SaveFlashFile(options.flash_path, instrument)) {
    std::fprintf(stderr, "r7700-sim: cannot write the flash file %s\n", options.flash_path.c_str());
    status = 1;
  }
  if (!options.state_path.empty()) {
    std::ofstream state(options.state_path, std::ios::trunc);
    state << instrument.ReportJson();
    if (!state) {
      std::fprintf(stderr, "r7700-sim: cannot write %s\n", options.state_path.c_str());
      status = 1;
    }
  }
  if (!options.link_path.empty()) RemoveLink(options.link_path, slave_path);
  close(master);
  return status;
}

}  // namespace r7700::sim
