#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <csignal>

#include "app/cli/terminal/console.h"

namespace r7700::cli {
namespace {

// Signal handlers reach only static storage.
std::atomic<bool> interrupt_flag{false};
std::atomic<int> interrupt_signal{0};

void NoteInterrupt(int signal_number) {
  interrupt_signal.store(signal_number);
  interrupt_flag.store(true);
  // The C runtime resets the handler before calling it.
  std::signal(signal_number, NoteInterrupt);
}

}  // namespace

bool IsTerminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}

bool SharesScreenOrFile(std::FILE* a, std::FILE* b) {
  if (IsTerminal(a) && IsTerminal(b)) return true;
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  const auto handle = [](std::FILE* stream) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  };
  return GetFileInformationByHandle(handle(a), &first) &&
         GetFileInformationByHandle(handle(b), &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

int TerminalColumns(std::FILE* stream, int fallback) {
  const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(console, &info)) return fallback;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

void MakeStandardDescriptorsValid() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (_get_osfhandle(fd) != -1) continue;
    // The lowest free descriptor is the closed one.
    const int opened = _open("NUL", _O_RDWR);
    if (opened >= 0 && opened != fd) _close(opened);
  }
}

void CatchInterrupts() {
  std::signal(SIGINT, NoteInterrupt);
  std::signal(SIGTERM, NoteInterrupt);
}

const std::atomic<bool>& InterruptFlag() {
  return interrupt_flag;
}

int InterruptExitStatus() {
  const int signal_number = interrupt_signal.load();
  return signal_number == 0 ? 0 : 128 + signal_number;
}

}  // namespace r7700::cli
