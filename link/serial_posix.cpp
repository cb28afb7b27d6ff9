// The serial backend on POSIX termios. Works on real ttys (on-board UARTs,
// USB adapters) and on pseudo-terminals, where the simulated instrument
// listens. The Windows port settings are mapped as follows:
//   exclusive open       O_NOCTTY | O_NONBLOCK, then TIOCEXCL; root passes
//                        another program's TIOCEXCL on Linux, so a port whose
//                        flag is already set (TIOCGEXCL) is busy, and an
//                        flock() on the descriptor also refuses a port
//                        another process of ours holds
//   queue sizes          no such setting: accepted and ignored
//   8N1, binary, NULs    raw mode, CS8, no parity, one stop bit
//   no flow control      IXON/IXOFF/IXANY and CRTSCTS off; CLOCAL | CREAD on
//   DTR and RTS raised   TIOCMBIS; a pty has no modem lines and refuses it
//   read time limit      poll(), since VTIME counts in tenths of a second
//                        and cannot express 21 ms
//   write time limit     poll() for writability until the limit runs out
//   flush                tcdrain(), and no earlier than the bytes could have
//                        left at the line's speed: a pty drains at once, and
//                        the instrument on its other end reads at line rate
//   purge                tcflush(TCIOFLUSH)
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <tuple>
#include <utility>

#include "link/serial_backend.h"

namespace r7700 {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr size_t kGroupBufferBytes = 4096;  // getgrgid_r's room for the group's members

// The rates of the baud list. Any other rate leaves the speed as it was.
bool BaudConstant(int32_t baud, speed_t* speed) {
  switch (baud) {
    case 9600:
      *speed = B9600;
      return true;
    case 19200:
      *speed = B19200;
      return true;
    case 38400:
      *speed = B38400;
      return true;
    case 57600:
      *speed = B57600;
      return true;
    case 115200:
      *speed = B115200;
      return true;
    default:
      return false;
  }
}

LineResult SystemRefusal(int error) {
  return LineResult::Refused(std::strerror(error));
}

// The speed asked for, in settings; refused for a rate outside the baud list.
LineResult ApplySpeed(termios& settings, int32_t baud) {
  speed_t speed = B0;
  if (!BaudConstant(baud, &speed)) return SystemRefusal(EINVAL);
  cfsetispeed(&settings, speed);
  cfsetospeed(&settings, speed);
  return {};
}

class PosixConnection : public SerialConnection {
 public:
  PosixConnection(int fd, double time_scale, const termios& original)
      : fd_(fd), time_scale_(time_scale), original_(original) {}

  ~PosixConnection() override {
    // Leave the tty as another program expects to find it: its own settings
    // back (speed, echo, line discipline), not exclusive, not locked. The
    // exclusive flag cleared here is ours: Open refuses a port that had one.
    tcsetattr(fd_, TCSANOW, &original_);
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
    close(fd_);
  }

  PosixConnection(const PosixConnection&) = delete;
  PosixConnection& operator=(const PosixConnection&) = delete;

  bool RequestQueues(uint32_t, uint32_t) override { return true; }

  LineResult Purge() override {
    if (tcflush(fd_, TCIOFLUSH) != 0) return SystemRefusal(errno);
    line_busy_until_ = SteadyClock::now();
    return {};
  }

  LineResult SetTimeouts(const PortTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return {};
  }

  LineResult ConfigureLine(int32_t baud) override {
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) return SystemRefusal(errno);
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                               ICRNL | IXON | IXOFF | IXANY | INPCK);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    // Reads never block in the driver: poll() does the waiting.
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (LineResult speed = ApplySpeed(settings, baud); !speed.ok) return speed;
    if (LineResult applied = Apply(settings, baud); !applied.ok) return applied;
    return RaiseLines();
  }

  LineResult SetBaud(int32_t baud) override {
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) return SystemRefusal(errno);
    if (LineResult speed = ApplySpeed(settings, baud); !speed.ok) return speed;
    return Apply(settings, baud);
  }

  LineResult RaiseLines() override {
    // A pty has no modem lines and says so; that is not an error for us.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd_, TIOCMBIS, &lines) == 0 || errno == ENOTTY || errno == EINVAL) return {};
    return SystemRefusal(errno);
  }

  uint32_t WriteSome(const uint8_t* data, uint32_t length) override {
    const auto deadline = SteadyClock::now() +
                          Scaled(timeouts_.write_per_byte_ms, timeouts_.write_constant_ms, length);
    uint32_t written = 0;
    while (written < length) {
      const ssize_t n = write(fd_, data + written, length - written);
      if (n > 0) {
        written += static_cast<uint32_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
      if (!WaitFor(POLLOUT, deadline)) break;
    }
    const auto now = SteadyClock::now();
    line_busy_until_ = std::max(line_busy_until_, now) + LineTime(written);
    return written;
  }

  void Flush() override {
    tcdrain(fd_);
    // On a real tty tcdrain has already waited this long. A signal ends
    // either wait early, as it does tcdrain: the program is being stopped.
    const auto left = line_busy_until_ - SteadyClock::now();
    if (left <= SteadyClock::duration::zero()) return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec wait{};
    wait.tv_sec = static_cast<time_t>(ns / 1000000000);
    wait.tv_nsec = static_cast<long>(ns % 1000000000);
    nanosleep(&wait, nullptr);
  }

  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override {
    if (count == 0) return 0;
    const uint32_t waiting = ReadNow(buffer, count);
    if (waiting > 0) return waiting;
    const auto deadline =
        SteadyClock::now() + Scaled(timeouts_.read_per_byte_ms, timeouts_.read_constant_ms, count);
    if (!WaitFor(POLLIN, deadline)) return 0;
    return ReadNow(buffer, count);
  }

  // Nothing to clear: a failed read() leaves no error state behind on POSIX,
  // and line errors (framing, overrun) are not reported in raw mode.
  void ClearError() override {}

 private:
  // (per_byte_ms * count + constant_ms) * time_scale, to the nanosecond so
  // that small scales still give a wait.
  SteadyClock::duration Scaled(uint32_t per_byte_ms, uint32_t constant_ms, uint32_t count) const {
    const double ms = (static_cast<double>(per_byte_ms) * count + constant_ms) * time_scale_;
    return std::chrono::duration_cast<SteadyClock::duration>(
        std::chrono::duration<double, std::milli>(ms));
  }

  // 10 bits a byte (start, 8 data, stop) at the line's speed, scaled.
  SteadyClock::duration LineTime(uint32_t bytes) const {
    if (baud_ <= 0) return SteadyClock::duration::zero();
    const double ms = bytes * kBitsPerByte * 1000.0 / baud_ * time_scale_;
    return std::chrono::duration_cast<SteadyClock::duration>(
        std::chrono::duration<double, std::milli>(ms));
  }

  uint32_t ReadNow(uint8_t* buffer, uint32_t count) {
    for (;;) {
      const ssize_t n = read(fd_, buffer, count);
      if (n > 0) return static_cast<uint32_t>(n);
      if (n < 0 && errno == EINTR) continue;
      return 0;
    }
  }

  // Waits until the descriptor is ready for events or the deadline passes.
  bool WaitFor(short events, SteadyClock::time_point deadline) {
    for (;;) {
      const auto left = deadline - SteadyClock::now();
      if (left <= SteadyClock::duration::zero()) return false;
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timespec wait{};
      wait.tv_sec = static_cast<time_t>(ns / 1000000000);
      wait.tv_nsec = static_cast<long>(ns % 1000000000);
      pollfd watch{fd_, events, 0};
      const int ready = ppoll(&watch, 1, &wait, nullptr);
      if (ready > 0) return (watch.revents & events) != 0;
      if (ready < 0 && errno != EINTR) return false;
    }
  }

  // tcsetattr succeeds when any of the changes was made, so the speed is
  // read back: a driver that kept its old one refused the new.
  LineResult Apply(const termios& settings, int32_t baud) {
    if (tcsetattr(fd_, TCSANOW, &settings) != 0) return SystemRefusal(errno);
    termios now{};
    if (tcgetattr(fd_, &now) != 0) return SystemRefusal(errno);
    if (cfgetospeed(&now) != cfgetospeed(&settings)) {
      return LineResult::Refused("the driver kept its speed");
    }
    baud_ = baud;
    return {};
  }

  static constexpr double kBitsPerByte = 10.0;

  int fd_;
  double time_scale_;
  termios original_;
  PortTimeouts timeouts_{};
  int32_t baud_ = 0;
  SteadyClock::time_point line_busy_until_{};
};

// "ttyUSB12" -> ("ttyUSB", 12); false for names of other kinds.
bool ParsePortName(const char* name, const char* prefix, long* number) {
  const size_t prefix_length = std::strlen(prefix);
  if (std::strncmp(name, prefix, prefix_length) != 0) return false;
  const char* digits = name + prefix_length;
  if (*digits < '0' || *digits > '9') return false;
  char* end = nullptr;
  *number = std::strtol(digits, &end, 10);
  return *end == '\0';
}

// The group that may read and write the device node, when its mode says one may.
std::string AllowedGroup(const std::string& name) {
  struct stat info {};
  if (stat(name.c_str(), &info) != 0 || (info.st_mode & (S_IRGRP | S_IWGRP)) == 0) return {};
  std::array<char, kGroupBufferBytes> buffer{};
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return {};
  }
  return found->gr_name;
}

// True when the tty's exclusive flag is set; a kernel that cannot tell
// (before TIOCGEXCL) leaves the question to TIOCEXCL alone.
bool HeldExclusively(int fd) {
  int exclusive = 0;
  return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

PortOpenFailure DescribeOpenError(const std::string& name, int error) {
  PortOpenFailure failure;
  failure.reason = std::strerror(error);
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:  // a ttyS node without a UART behind it
      failure.problem = PortProblem::kMissing;
      break;
    case EACCES:
    case EPERM:
      failure.problem = PortProblem::kDenied;
      failure.allowed_group = AllowedGroup(name);
      break;
    case EBUSY:
      failure.problem = PortProblem::kBusy;
      break;
    case ENOTTY:
      failure.problem = PortProblem::kNotSerial;
      failure.reason = "not a terminal device";
      break;
    default:
      failure.problem = PortProblem::kOther;
  }
  return failure;
}

class PosixBackend : public SerialBackend {
 public:
  explicit PosixBackend(double time_scale) : time_scale_(time_scale) {}

  OpenResult Open(const std::string& name) override {
    // Non-blocking so that a port without carrier does not hang the open.
    const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Refused(name, errno, -1);
    termios probe{};
    if (!isatty(fd) || tcgetattr(fd, &probe) != 0) return Refused(name, ENOTTY, fd);
    // Root gets past another program's TIOCEXCL; the flag still tells. Both
    // checks come before TIOCEXCL, so a refused open leaves no flag of ours
    // behind on a port someone else holds.
    if (HeldExclusively(fd)) return Refused(name, EBUSY, fd);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return Refused(name, EBUSY, fd);
    if (ioctl(fd, TIOCEXCL) != 0) return Refused(name, errno, fd);
    return {std::make_unique<PosixConnection>(fd, time_scale_, probe), {}};
  }

  // On-board UARTs first, then USB adapters, then USB modems (CDC ACM), each
  // in numeric order (ttyS2 before ttyS10).
  std::vector<std::string> CandidatePortNames() override {
    static constexpr std::array<const char*, 3> kPrefixes{"ttyS", "ttyUSB", "ttyACM"};
    std::vector<std::tuple<size_t, long, std::string>> found;
    DIR* dev = opendir("/dev");
    if (dev == nullptr) return {};
    while (const dirent* entry = readdir(dev)) {
      for (size_t kind = 0; kind < kPrefixes.size(); ++kind) {
        long number = 0;
        if (ParsePortName(entry->d_name, kPrefixes[kind], &number)) {
          found.emplace_back(kind, number, std::string("/dev/") + entry->d_name);
        }
      }
    }
    closedir(dev);
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& port : found) names.push_back(std::move(std::get<2>(port)));
    return names;
  }

 private:
  static OpenResult Refused(const std::string& name, int error, int fd) {
    if (fd >= 0) close(fd);
    return {nullptr, DescribeOpenError(name, error)};
  }

  double time_scale_;
};

}  // namespace

std::unique_ptr<SerialBackend> MakePlatformSerialBackend(double time_scale) {
  return std::make_unique<PosixBackend>(time_scale > 0 ? time_scale : 1.0);
}

}  // namespace r7700
