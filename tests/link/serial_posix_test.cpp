// The POSIX backend on a real pseudo-terminal: the test holds the master end
// where the instrument would be, the port code opens the slave by name.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "link/memory_window.h"
#include "link/serial_port.h"

namespace r7700 {
namespace {

// 100 idle reads take about 210 ms: short for a test, long enough for a
// loaded machine to move the bytes of a line through the pty.
constexpr double kTestTimeScale = 0.1;

class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    char name[128];
    if (ptsname_r(master_, name, sizeof name) == 0) slave_name_ = name;
  }
  ~Pty() {
    if (master_ >= 0) close(master_);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int master() const { return master_; }
  const std::string& slave_name() const { return slave_name_; }

  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads exactly count bytes from the master end (5 s at most).
  std::string Receive(size_t count) {
    std::string got;
    while (got.size() < count) {
      pollfd watch{master_, POLLIN, 0};
      if (poll(&watch, 1, 5000) <= 0) break;
      char buffer[4096];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
  termios MasterSettings() const {
    termios settings{};
    tcgetattr(master_, &settings);
    return settings;
  }

 private:
  int master_ = -1;
  std::string slave_name_;
};

class PosixSerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty_.slave_name().empty()) << "no pseudo-terminal available";
    before_ = pty_.MasterSettings();
    port_ = OpenPort(*backend_, window_, pty_.slave_name(), 19200);
    ASSERT_NE(port_, nullptr);
  }

  std::string AllBytes() {
    std::string bytes(256, '\0');
    for (int i = 0; i < 256; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(i);
    return bytes;
  }

  Pty pty_;
  termios before_{};
  std::unique_ptr<SerialBackend> backend_ = MakePlatformSerialBackend(kTestTimeScale);
  MemoryWindow window_;
  OwnedPort port_;
};

TEST_F(PosixSerialTest, LinesAreReadThroughTheRealBackend) {
  pty_.Send("OK\r\nA\rB\n\r\nR77");
  char buffer[200];
  EXPECT_EQ(ReadPortLine(port_.get(), buffer, sizeof buffer), 2);
  EXPECT_STREQ(buffer, "OK");
  EXPECT_EQ(ReadPortLine(port_.get(), buffer, sizeof buffer), 2);
  EXPECT_STREQ(buffer, "AB");
  EXPECT_EQ(ReadPortLine(port_.get(), buffer, sizeof buffer), 0);
  // No LF follows: the idle limit ends the line, the text is kept.
  EXPECT_EQ(ReadPortLine(port_.get(), buffer, sizeof buffer), -1);
  EXPECT_STREQ(buffer, "R77");
}

TEST_F(PosixSerialTest, EveryByteValuePassesUnchangedBothWays) {
  const std::string bytes = AllBytes();
  pty_.Send(bytes);
  std::string received;
  uint8_t byte = 0;
  while (received.size() < bytes.size() && ReadPortBytes(port_.get(), &byte, 1) == 1) {
    received.push_back(static_cast<char>(byte));
  }
  EXPECT_EQ(received, bytes);

  EXPECT_EQ(WritePort(port_.get(), bytes.data(), 256), 256u);
  EXPECT_EQ(pty_.Receive(256), bytes);
}

TEST_F(PosixSerialTest, LargeWriteArrivesWhole) {
  std::string data(5000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 13) % 256);
  std::string received;
  std::thread reader([&] { received = pty_.Receive(data.size()); });
  EXPECT_EQ(WritePort(port_.get(), data.data(), 5000), 5000u);
  reader.join();
  EXPECT_EQ(received, data);
}

TEST_F(PosixSerialTest, LineSettingsAreRaw8N1WithoutFlowControl) {
  const termios settings = pty_.MasterSettings();
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B19200));
  EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B19200));
  EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(settings.c_oflag & OPOST, 0u);
}

// On Linux the master end reports the slave's termios, so a speed change
// made through the port is visible where the instrument sits.
TEST_F(PosixSerialTest, SpeedChangeIsVisibleOnTheMasterEnd) {
  ASSERT_TRUE(SetPortBaud(port_.get(), 115200).ok);
  termios settings = pty_.MasterSettings();
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B115200));
  EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B115200));
  ASSERT_TRUE(SetPortBaud(port_.get(), 9600).ok);
  settings = pty_.MasterSettings();
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
  // A rate outside the baud list is refused and leaves the speed as it was.
  const LineResult refused = SetPortBaud(port_.get(), 12345);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.reason, "Invalid argument");
  settings = pty_.MasterSettings();
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));

  // Closing gives the tty its own settings back.
  ClosePort(port_);
  settings = pty_.MasterSettings();
  EXPECT_EQ(cfgetospeed(&settings), cfgetospeed(&before_));
  EXPECT_EQ(settings.c_lflag, before_.c_lflag);
  EXPECT_EQ(settings.c_iflag, before_.c_iflag);
  EXPECT_NE(settings.c_lflag & ICANON, 0u);
}

TEST_F(PosixSerialTest, SpeedChangeDiscardsWhatArrivedBefore) {
  // A second descriptor on the slave shows when the bytes have arrived,
  // without taking them.
  const int watcher = open(pty_.slave_name().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(watcher, 0);
  pty_.Send("stale\n");
  pollfd watch{watcher, POLLIN, 0};
  ASSERT_EQ(poll(&watch, 1, 5000), 1);
  ASSERT_TRUE(SetPortBaud(port_.get(), 38400).ok);
  uint8_t byte = 0;
  EXPECT_EQ(ReadPortBytes(port_.get(), &byte, 1), 0u);
  close(watcher);
}

TEST_F(PosixSerialTest, RaisingLinesOnAPtyIsNotAnError) {
  pty_.Send("after\n");
  ASSERT_TRUE(RaisePortLines(port_.get()).ok);  // purges: the line is gone, the port still works
  pty_.Send("next\n");
  char buffer[200];
  EXPECT_EQ(ReadPortLine(port_.get(), buffer, sizeof buffer), 4);
  EXPECT_STREQ(buffer, "next");
}

TEST_F(PosixSerialTest, ASecondOpenIsRefusedUntilThePortIsClosed) {
  EXPECT_EQ(backend_->Open(pty_.slave_name()).port, nullptr);
  EXPECT_EQ(OpenPort(*backend_, window_, pty_.slave_name(), 19200), nullptr);
  ASSERT_EQ(window_.boxes().size(), 1u);
  EXPECT_EQ(window_.boxes()[0].text,
            "Cannot open COM port " + pty_.slave_name() + " !\nError nr.: 104");
  ClosePort(port_);
  EXPECT_NE(backend_->Open(pty_.slave_name()).port, nullptr);
}

// Another program holding the port with TIOCEXCL alone, no lock: busy even
// for root, which passes TIOCEXCL; the line keeps its settings and the flag
// is still set afterwards.
TEST(PosixSerialBackend, APortHeldExclusivelyElsewhereIsBusyAndKeepsItsFlag) {
  Pty pty;
  ASSERT_FALSE(pty.slave_name().empty());
  const int other = open(pty.slave_name().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
  auto backend = MakePlatformSerialBackend(kTestTimeScale);
  MemoryWindow window;
  EXPECT_EQ(backend->Open(pty.slave_name()).failure.problem, PortProblem::kBusy);
  EXPECT_EQ(OpenPort(*backend, window, pty.slave_name(), 115200), nullptr);
  ASSERT_EQ(window.boxes().size(), 1u);
  EXPECT_EQ(window.boxes()[0].text,
            "Cannot open COM port " + pty.slave_name() + " !\nError nr.: 104");
  int exclusive = 0;
  ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1);
  const termios settings = pty.MasterSettings();
  EXPECT_NE(cfgetospeed(&settings), static_cast<speed_t>(B115200));
  close(other);
}

TEST(PosixSerialBackend, WriteThatNobodyReadsEnds) {
  // The master never reads: the pty fills and every write call waits out
  // its (here much shortened) limit, so WritePort gives up on the rest.
  Pty pty;
  ASSERT_FALSE(pty.slave_name().empty());
  MemoryWindow window;
  auto backend = MakePlatformSerialBackend(0.001);
  OwnedPort port = OpenPort(*backend, window, pty.slave_name(), 19200);
  ASSERT_NE(port, nullptr);
  const std::string data(1 << 20, 'x');
  const uint32_t written = WritePort(port.get(), data.data(), static_cast<uint32_t>(data.size()));
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, data.size());
  EXPECT_EQ(pty.Receive(written), data.substr(0, written));
}

TEST(PosixSerialBackend, OnlyTerminalsOpen) {
  auto backend = MakePlatformSerialBackend(kTestTimeScale);
  EXPECT_EQ(backend->Open("/dev/null").port, nullptr);
  EXPECT_EQ(backend->Open("/dev/ttyNoSuchPort7").port, nullptr);
}

TEST(PosixSerialBackend, CandidatesAreSerialDevicesInNumericOrder) {
  auto backend = MakePlatformSerialBackend(1.0);
  const std::vector<std::string> names = backend->CandidatePortNames();
  const std::vector<std::string> prefixes = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
  size_t last_kind = 0;
  long last_number = -1;
  for (const std::string& name : names) {
    size_t kind = prefixes.size();
    for (size_t k = 0; k < prefixes.size(); ++k) {
      if (name.rfind(prefixes[k], 0) == 0) kind = k;
    }
    ASSERT_LT(kind, prefixes.size()) << name;
    const long number = std::strtol(name.c_str() + prefixes[kind].size(), nullptr, 10);
    if (kind == last_kind) {
      EXPECT_GT(number, last_number) << name;
    }
    EXPECT_GE(kind, last_kind) << name;
    last_kind = kind;
    last_number = number;
  }
}

}  // namespace
}  // namespace r7700
