// Port listing and choice against a fake sysfs and /dev in a temporary
// folder, whose device nodes are real ptys; and why an open fails.
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/ports/port_choice.h"
#include "app/cli/ports/port_list_json.h"

namespace r7700::cli {
namespace {

namespace fs = std::filesystem;

// A pty whose slave stands in for a serial device node.
class Pty {
 public:
  Pty() : master_(posix_openpt(O_RDWR | O_NOCTTY)) {
    grantpt(master_);
    unlockpt(master_);
    path_ = ptsname(master_);
  }
  ~Pty() { close(master_); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  const std::string& path() const { return path_; }

 private:
  int master_;
  std::string path_;
};

struct FakePort {
  std::string tty;        // ttyUSB0
  std::string usb;        // "vendor product maker product serial driver", or the driver alone
  bool node = true;       // /dev holds the node
  std::string by_id;      // name under /dev/serial/by-id, or empty
  std::string uart_type;  // ttyS: the serial core's type
};

class FakeMachine {
 public:
  explicit FakeMachine(const std::string& name)
      : root_(fs::path(::testing::TempDir()) / ("ports-" + name)) {
    fs::remove_all(root_);
    fs::create_directories(root_ / "sys/class/tty");
    fs::create_directories(root_ / "dev/serial/by-id");
  }
  ~FakeMachine() { fs::remove_all(root_); }

  void Add(const FakePort& port) {
    std::istringstream words(port.usb);
    std::string vendor, product, maker, name, serial, driver;
    fs::path device;
    if (words >> vendor >> product >> maker >> name >> serial >> driver) {
      // A USB device; ttyUSB hangs under a usb-serial port below the
      // interface, ttyACM under the interface itself.
      const fs::path usb = root_ / "sys/devices/pci0000:00/usb1" / ("1-" + port.tty);
      device = usb / "1-1:1.0";
      if (port.tty.starts_with("ttyUSB")) device /= port.tty;
      fs::create_directories(device);
      Write(usb / "idVendor", vendor);
      Write(usb / "idProduct", product);
      Write(usb / "manufacturer", maker);
      Write(usb / "product", name);
      Write(usb / "serial", serial);
    } else {
      device = root_ / "sys/devices/pnp0" / port.tty;
      fs::create_directories(device);
      driver = vendor;
    }
    fs::create_symlink(root_ / "sys/bus/drivers" / driver, device / "driver");
    const fs::path tty = root_ / "sys/class/tty" / port.tty;
    fs::create_directories(tty);
    fs::create_directory_symlink(device, tty / "device");
    if (!port.uart_type.empty()) Write(tty / "type", port.uart_type);
    if (port.node) {
      ptys_.push_back(std::make_unique<Pty>());
      fs::create_symlink(ptys_.back()->path(), root_ / "dev" / port.tty);
    }
    if (!port.by_id.empty()) {
      fs::create_symlink("../../" + port.tty, root_ / "dev/serial/by-id" / port.by_id);
    }
  }

  PortRoots roots() const { return {(root_ / "sys").string(), (root_ / "dev").string()}; }
  std::string dev() const { return (root_ / "dev").string(); }

 private:
  static void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text << "\n";
  }

  fs::path root_;
  std::vector<std::unique_ptr<Pty>> ptys_;
};

constexpr const char* kFtdi = "0403 6001 FTDI FT232R_USB_UART A50285BI ftdi_sio";

TEST(PortList, ListsEveryPortWithItsDescriptionAndChoosesOnlyTheOneAdapter) {
  struct Case {
    std::string name;
    std::vector<FakePort> ports;
    std::string busy;     // a tty the test holds open
    std::string held;     // a tty another program holds with TIOCEXCL alone
    std::string listing;  // $ stands for the fake /dev
    std::string note;
    std::string chosen;
    std::string why;
    std::string json = {};  // --list-ports --json's list; not compared when empty
  };
  const std::vector<Case> cases{
      {"none",
       {},
       "",
       "",
       "",
       "no serial port found (is the USB serial adapter plugged in?)",
       "",
       "no USB serial adapter found; name the port with --port"},
      {"one-adapter",
       {{"ttyS0", "serial", true, "", "4"},
        {"ttyS1", "serial", true, "", "0"},
        {"ttyUSB0", kFtdi, true, "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", ""}},
       "",
       "",
       "$/ttyUSB0  free  USB 0403:6001, FTDI FT232R_USB_UART, serial A50285BI, driver ftdi_sio\n"
       "    $/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
       "$/ttyS0  free  on-board, driver serial\n",
       "",
       "$/ttyUSB0",
       "using $/ttyUSB0, the only USB serial adapter (USB 0403:6001, FTDI FT232R_USB_UART, "
       "serial A50285BI, driver ftdi_sio)"},
      // More than nine, in numeric order; busy and unplugged ones are listed too.
      {"several",
       {{"ttyUSB10", kFtdi, true, "", ""},
        {"ttyUSB2", kFtdi, true, "", ""},
        {"ttyUSB3", kFtdi, false, "", ""},
        {"ttyACM0", "2341 0043 Arduino Uno 7543 cdc_acm", true, "", ""},
        {"ttyS0", "serial", true, "", "4"}},
       "$/ttyUSB2",
       "",
       "$/ttyUSB2  busy  USB 0403:6001, FTDI FT232R_USB_UART, serial A50285BI, driver ftdi_sio\n"
       "$/ttyUSB3  missing (No such file or directory)  USB 0403:6001, FTDI "
       "FT232R_USB_UART, serial A50285BI, driver ftdi_sio\n"
       "$/ttyUSB10  free  USB 0403:6001, FTDI FT232R_USB_UART, serial A50285BI, driver "
       "ftdi_sio\n"
       "$/ttyACM0  free  USB 2341:0043, Arduino Uno, serial 7543, driver cdc_acm\n"
       "$/ttyS0  free  on-board, driver serial\n",
       "",
       "",
       "4 USB serial adapters found; name one with --port"},
      // Busy for root too, and the other program's flag survives the probe.
      {"held-elsewhere",
       {{"ttyUSB0", kFtdi, true, "", ""}},
       "",
       "$/ttyUSB0",
       "$/ttyUSB0  busy  USB 0403:6001, FTDI FT232R_USB_UART, serial A50285BI, driver ftdi_sio\n",
       "no port can be opened: busy",
       "$/ttyUSB0",
       "using $/ttyUSB0, the only USB serial adapter (USB 0403:6001, FTDI FT232R_USB_UART, "
       "serial A50285BI, driver ftdi_sio)",
       "[{\"name\": \"$/ttyUSB0\", \"state\": \"busy\", \"reason\": \"Device or resource "
       "busy\", \"usb\": true, \"usb_id\": \"0403:6001\", \"manufacturer\": \"FTDI\", "
       "\"product\": \"FT232R_USB_UART\", \"serial_number\": \"A50285BI\", \"driver\": "
       "\"ftdi_sio\", \"stable_name\": \"\"}]"},
  };
  std::unique_ptr<SerialBackend> backend = MakePlatformSerialBackend(1.0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeMachine machine(c.name);
    for (const FakePort& port : c.ports) machine.Add(port);
    const auto expand = [&](std::string text) {
      for (size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at)) {
        text.replace(at, 1, machine.dev());
      }
      return text;
    };
    std::unique_ptr<SerialConnection> held;
    if (!c.busy.empty()) held = backend->Open(expand(c.busy)).port;
    const int other = c.held.empty() ? -1 : open(expand(c.held).c_str(), O_RDWR | O_NOCTTY);
    if (other >= 0) {
      ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
    }

    std::vector<SerialPortInfo> ports = FindSerialPorts(machine.roots());
    ProbePorts(*backend, ports);
    EXPECT_EQ(PortListing(ports), expand(c.listing));
    EXPECT_EQ(NoUsablePortNote(ports), c.note);
    if (!c.json.empty()) {
      EXPECT_EQ(PortListJson(ports), expand(c.json));
    }
    const PortChoice choice = ChoosePort(ports);
    EXPECT_EQ(choice.port, expand(c.chosen));
    EXPECT_EQ(choice.why, expand(c.why));
    if (other >= 0) {
      int exclusive = 0;
      EXPECT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
      EXPECT_EQ(exclusive, 1);
      close(other);
    }
  }
}

// The line a technician reads when the port cannot be opened.
std::string OpenFailure(SerialBackend& backend, const std::string& name) {
  const OpenResult opened = backend.Open(name);
  if (opened) return "opened";
  return OpenFailureLine(name, opened.failure);
}

TEST(PortList, AFailedOpenSaysWhyAndWhatToDo) {
  std::unique_ptr<SerialBackend> backend = MakePlatformSerialBackend(1.0);
  Pty pty;
  EXPECT_EQ(OpenFailure(*backend, "/dev/ttyUSB97"),
            "cannot open /dev/ttyUSB97: No such file or directory (is the adapter plugged in? "
            "r7700-update --list-ports shows the ports)");
  const std::string regular = ::testing::TempDir() + "/not-a-port";
  std::ofstream(regular) << "x";
  EXPECT_EQ(OpenFailure(*backend, regular),
            "cannot open " + regular +
                ": not a terminal device (name a serial port; r7700-update --list-ports shows "
                "them)");
  {
    std::unique_ptr<SerialConnection> held = backend->Open(pty.path()).port;
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(OpenFailure(*backend, pty.path()),
              "cannot open " + pty.path() +
                  ": Device or resource busy (another program is using it; close that program)");
  }
  // Read and write for the dialout group only, tried by a user outside it:
  // as root, by a child that gives up root first.
  const group* dialout = getgrnam("dialout");
  ASSERT_NE(dialout, nullptr);
  ASSERT_EQ(chown(pty.path().c_str(), geteuid(), geteuid() == 0 ? dialout->gr_gid : getegid()), 0);
  ASSERT_EQ(chmod(pty.path().c_str(), geteuid() == 0 ? 0660 : 0), 0);
  const std::string expected =
      "cannot open " + pty.path() + ": Permission denied (" +
      (geteuid() == 0 ? "join the dialout group" : "ask for read and write access to it") + ")";
  if (geteuid() != 0) {
    EXPECT_EQ(OpenFailure(*backend, pty.path()), expected);
    return;
  }
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  constexpr uid_t kNobody = 65534;
  const pid_t child = fork();
  if (child == 0) {
    const std::string line =
        setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0
            ? OpenFailure(*backend, pty.path())
            : "could not give up root";
    _exit(write(pipe_ends[1], line.data(), line.size()) < 0);
  }
  close(pipe_ends[1]);
  std::string line;
  char buffer[256];
  for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) line.append(buffer, n);
  close(pipe_ends[0]);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(line, expected);
}

}  // namespace
}  // namespace r7700::cli
