// The serial backend on the Win32 communications interface: synchronous
// handle I/O on "COMn", with the port's own time limits doing all waiting.
//
// The time scale does not apply here. A real port on Windows always runs at
// scale 1 (the COMMTIMEOUTS are the instrument's); the scale only stretches
// the clock's pauses, which are not this file's business.
#include <windows.h>

#include <array>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "link/serial_backend.h"

namespace r7700 {
namespace {

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr int kHighestPortNumber = 9;
constexpr size_t kMessageBytes = 256;  // one system error text

class Win32Connection : public SerialConnection {
 public:
  explicit Win32Connection(HANDLE handle) : handle_(handle) {}
  ~Win32Connection() override { CloseHandle(handle_); }

  Win32Connection(const Win32Connection&) = delete;
  Win32Connection& operator=(const Win32Connection&) = delete;

  bool RequestQueues(uint32_t rx_bytes, uint32_t tx_bytes) override {
    return SetupComm(handle_, rx_bytes, tx_bytes) != 0;
  }

  void Purge() override { PurgeComm(handle_, kPurgeAll); }

  void SetTimeouts(const PortTimeouts& timeouts) override {
    COMMTIMEOUTS limits{};
    GetCommTimeouts(handle_, &limits);
    // MAXDWORD between bytes with a total limit: a read returns at once with
    // what is waiting, else waits for the first byte up to the total limit.
    limits.ReadIntervalTimeout = MAXDWORD;
    limits.ReadTotalTimeoutMultiplier = timeouts.read_per_byte_ms;
    limits.ReadTotalTimeoutConstant = timeouts.read_constant_ms;
    limits.WriteTotalTimeoutMultiplier = timeouts.write_per_byte_ms;
    limits.WriteTotalTimeoutConstant = timeouts.write_constant_ms;
    SetCommTimeouts(handle_, &limits);
  }

  // Only the named fields change; every other one keeps what the port
  // reported (parity checking, DSR handling, XON/XOFF limits, special
  // characters).
  void ConfigureLine(int32_t baud) override {
    ReadLineSettings();
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
    SetCommState(handle_, &line_settings_);
  }

  void SetBaud(int32_t baud) override {
    ReadLineSettings();
    line_settings_.BaudRate = static_cast<DWORD>(baud);
    SetCommState(handle_, &line_settings_);
  }

  void RaiseLines() override {
    ReadLineSettings();
    line_settings_.fDtrControl = DTR_CONTROL_ENABLE;
    line_settings_.fRtsControl = RTS_CONTROL_ENABLE;
    SetCommState(handle_, &line_settings_);
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
  void ReadLineSettings() {
    line_settings_ = DCB{};
    line_settings_.DCBlength = sizeof(DCB);
    GetCommState(handle_, &line_settings_);
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
  std::array<char, kMessageBytes> text{};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                     text.data(), static_cast<DWORD>(text.size()), nullptr);
  failure.reason.assign(text.data(), length);
  while (!failure.reason.empty() &&
         (failure.reason.back() == '\n' || failure.reason.back() == '\r' ||
          failure.reason.back() == '.')) {
    failure.reason.pop_back();
  }
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
  std::unique_ptr<SerialConnection> Open(const std::string& name) override {
    Record({});
    // Share mode 0: the open fails while any other program holds the port.
    HANDLE handle = CreateFileA(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      Record(DescribeOpenError(GetLastError()));
      return nullptr;
    }
    return std::make_unique<Win32Connection>(handle);
  }

  PortOpenFailure LastOpenFailure() const override {
    const std::lock_guard<std::mutex> lock(failures_mutex_);
    const auto found = failures_.find(std::this_thread::get_id());
    return found == failures_.end() ? PortOpenFailure{} : found->second;
  }

  std::vector<std::string> CandidatePortNames() override {
    std::vector<std::string> names;
    for (int n = 1; n <= kHighestPortNumber; ++n) names.push_back("COM" + std::to_string(n));
    return names;
  }

 private:
  // Per thread: several ports may be opened at once, each asking about its own.
  void Record(PortOpenFailure failure) {
    const std::lock_guard<std::mutex> lock(failures_mutex_);
    failures_[std::this_thread::get_id()] = std::move(failure);
  }

  mutable std::mutex failures_mutex_;
  std::map<std::thread::id, PortOpenFailure> failures_;
};

}  // namespace

std::unique_ptr<SerialBackend> MakePlatformSerialBackend(double) {
  return std::make_unique<Win32Backend>();
}

}  // namespace r7700
