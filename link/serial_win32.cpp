// The serial backend on the Win32 communications interface: synchronous
// handle I/O on "COMn", with the port's own time limits doing all waiting.
//
// The time scale does not apply here. A real port on Windows always runs at
// scale 1 (the COMMTIMEOUTS are the instrument's); the scale only stretches
// the clock's pauses, which are not this file's business.
#include <windows.h>

#include <array>
#include <string>

#include "link/serial_backend.h"

namespace r7700 {
namespace {

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr int kHighestPortNumber = 9;
constexpr size_t kMessageBytes = 256;  // one system error text

// The system's words for an error, without the closing full stop and line end.
std::string SystemText(DWORD error) {
  std::array<char, kMessageBytes> text{};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                     text.data(), static_cast<DWORD>(text.size()), nullptr);
  std::string words(text.data(), length);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.')) {
    words.pop_back();
  }
  return words.empty() ? "system error " + std::to_string(error) : words;
}

LineResult SystemRefusal(DWORD error) {
  return LineResult::Refused(SystemText(error));
}

LineResult Checked(BOOL done) {
  return done ? LineResult{} : SystemRefusal(GetLastError());
}

class Win32Connection : public SerialConnection {
 public:
  explicit Win32Connection(HANDLE handle) : handle_(handle) {}
  ~Win32Connection() override { CloseHandle(handle_); }

  Win32Connection(const Win32Connection&) = delete;
  Win32Connection& operator=(const Win32Connection&) = delete;

  bool RequestQueues(uint32_t rx_bytes, uint32_t tx_bytes) override {
    return SetupComm(handle_, rx_bytes, tx_bytes) != 0;
  }

  LineResult Purge() override { return Checked(PurgeComm(handle_, kPurgeAll)); }

  LineResult SetTimeouts(const PortTimeouts& timeouts) override {
    COMMTIMEOUTS limits{};
    if (!GetCommTimeouts(handle_, &limits)) return SystemRefusal(GetLastError());
    // MAXDWORD between bytes with a total limit: a read returns at once with
    // what is waiting, else waits for the first byte up to the total limit.
    limits.ReadIntervalTimeout = MAXDWORD;
    limits.ReadTotalTimeoutMultiplier = timeouts.read_per_byte_ms;
    limits.ReadTotalTimeoutConstant = timeouts.read_constant_ms;
    limits.WriteTotalTimeoutMultiplier = timeouts.write_per_byte_ms;
    limits.WriteTotalTimeoutConstant = timeouts.write_constant_ms;
    return Checked(SetCommTimeouts(handle_, &limits));
  }

  // Only the named fields change; every other one keeps what the port
  // reported (parity checking, DSR handling, XON/XOFF limits, special
  // characters).
  LineResult ConfigureLine(int32_t baud) override {
    if (LineResult read = ReadLineSettings(); !read.ok) return read;
    line_settings_.BaudRate = static_cast<DWORD>(baud);
    line_settings_.fBinary = 1;
    line_settings_.ByteSize = 8;
    line_settings_.Parity = NOPARITY;
    line_settings_.StopBits = ONESTOPBIT;
    line_settings_.fNull = 0;
    line_settings_.fOutX = 0;
    line_settings_.fInX = 0;
    line_settings_.fOutxCtsFlow = 0;
    line_settings_.fDtrControl = DTR_CONTROL_ENABLE;
    line_settings_.fRtsControl = RTS_CONTROL_ENABLE;
    return Checked(SetCommState(handle_, &line_settings_));
  }

  LineResult SetBaud(int32_t baud) override {
    if (LineResult read = ReadLineSettings(); !read.ok) return read;
    line_settings_.BaudRate = static_cast<DWORD>(baud);
    return Checked(SetCommState(handle_, &line_settings_));
  }

  LineResult RaiseLines() override {
    if (LineResult read = ReadLineSettings(); !read.ok) return read;
    line_settings_.fDtrControl = DTR_CONTROL_ENABLE;
    line_settings_.fRtsControl = RTS_CONTROL_ENABLE;
    return Checked(SetCommState(handle_, &line_settings_));
  }

  uint32_t WriteSome(const uint8_t* data, uint32_t length) override {
    DWORD written = 0;
    WriteFile(handle_, data, length, &written, nullptr);
    return written;
  }

  void Flush() override { FlushFileBuffers(handle_); }

  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override {
    DWORD received = 0;
    ReadFile(handle_, buffer, count, &received, nullptr);
    return received;
  }

  void ClearError() override {
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(handle_, &errors, &status);
  }

 private:
  // Not a cache: every change starts from what the port reports now.
  LineResult ReadLineSettings() {
    line_settings_ = DCB{};
    line_settings_.DCBlength = sizeof(DCB);
    return Checked(GetCommState(handle_, &line_settings_));
  }

  HANDLE handle_;
  DCB line_settings_{};
};

// COM1 to COM9 open by their plain names, as the window passes them; from
// COM10 on only the device namespace finds the port.
std::string DevicePath(const std::string& name) {
  if (name.size() > 4 && name.rfind("COM", 0) == 0) return "\\\\.\\" + name;
  return name;
}

PortOpenFailure DescribeOpenError(DWORD error) {
  PortOpenFailure failure;
  failure.reason = SystemText(error);
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      failure.problem = PortProblem::kMissing;
      break;
    // An exclusive port held by another program refuses with access denied.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      failure.problem = PortProblem::kBusy;
      break;
    default:
      failure.problem = PortProblem::kOther;
  }
  return failure;
}

class Win32Backend : public SerialBackend {
 public:
  OpenResult Open(const std::string& name) override {
    // Share mode 0: the open fails while any other program holds the port.
    HANDLE handle = CreateFileA(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {nullptr, DescribeOpenError(GetLastError())};
    return {std::make_unique<Win32Connection>(handle), {}};
  }

  std::vector<std::string> CandidatePortNames() override {
    std::vector<std::string> names;
    for (int n = 1; n <= kHighestPortNumber; ++n) names.push_back("COM" + std::to_string(n));
    return names;
  }
};

}  // namespace

std::unique_ptr<SerialBackend> MakePlatformSerialBackend(double) {
  return std::make_unique<Win32Backend>();
}

}  // namespace r7700
