#include <sys/ioctl.h>
#include <unistd.h>

#include "app/cli/console.h"

namespace r7700::cli {

bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

int TerminalColumns(std::FILE* stream, int fallback) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return fallback;
  return size.ws_col;
}

}  // namespace r7700::cli
