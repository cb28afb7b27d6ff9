// Another program holding a serial port the way terminal programs do: open
// it and set TIOCEXCL, nothing more (no lock file, no flock). Runs a
// command meanwhile, then reports whether the port's exclusive flag is still
// set, since a tool that clears a flag it did not set lets anyone in.
//
// Usage: exclusive_holder PORT COMMAND [ARGS...]
// Prints "exclusive_holder: PORT held" before the command and
// "exclusive_holder: PORT exclusive flag still set" (or "... cleared")
// after it. Exit status: the command's, or 70 when the port cannot be held.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kCannotHold = 70;

int RunCommand(char** argv) {
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[0], argv);
    std::fprintf(stderr, "exclusive_holder: cannot run %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return kCannotHold;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: exclusive_holder PORT COMMAND [ARGS...]\n");
    return 64;
  }
  const char* port = argv[1];
  // Close on exec: the command must not inherit our descriptor.
  const int fd = open(port, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 || ioctl(fd, TIOCEXCL) != 0) {
    std::fprintf(stderr, "exclusive_holder: cannot hold %s: %s\n", port, std::strerror(errno));
    return kCannotHold;
  }
  std::printf("exclusive_holder: %s held\n", port);
  std::fflush(stdout);
  const int status = RunCommand(argv + 2);
  int exclusive = 0;
  if (ioctl(fd, TIOCGEXCL, &exclusive) != 0) {
    std::fprintf(stderr, "exclusive_holder: TIOCGEXCL on %s: %s\n", port, std::strerror(errno));
    return kCannotHold;
  }
  std::printf("exclusive_holder: %s exclusive flag %s\n", port,
              exclusive != 0 ? "still set" : "cleared");
  close(fd);
  return status;
}
