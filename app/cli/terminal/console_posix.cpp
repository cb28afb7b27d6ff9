#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/cli/terminal/console.h"

namespace r7700::cli {
namespace {

// Signal handlers reach only static storage; both are lock-free atomics,
// which a handler may set.
std::atomic<bool> interrupt_flag{false};
std::atomic<int> interrupt_signal{0};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

void NoteInterrupt(int signal_number) {
  interrupt_signal.store(signal_number);
  interrupt_flag.store(true);
}

void SetDisposition(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read waiting for an answer returns at the interrupt.
  action.sa_flags = 0;
  sigaction(signal_number, &action, nullptr);
}

}  // namespace

bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

bool SharesScreenOrFile(std::FILE* a, std::FILE* b) {
  if (IsTerminal(a) && IsTerminal(b)) return true;
  struct stat first {};
  struct stat second {};
  return fstat(fileno(a), &first) == 0 && fstat(fileno(b), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

int TerminalColumns(std::FILE* stream, int fallback) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return fallback;
  return size.ws_col;
}

void MakeStandardDescriptorsValid() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is the closed one.
    const int opened = open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) close(opened);
  }
}

void CatchInterrupts() {
  SetDisposition(SIGPIPE, SIG_IGN);
  SetDisposition(SIGHUP, SIG_IGN);
  SetDisposition(SIGINT, NoteInterrupt);
  SetDisposition(SIGTERM, NoteInterrupt);
}

const std::atomic<bool>& InterruptFlag() {
  return interrupt_flag;
}

int InterruptExitStatus() {
  const int signal_number = interrupt_signal.load();
  return signal_number == 0 ? 0 : 128 + signal_number;
}

}  // namespace r7700::cli
