#include <io.h>
#include <windows.h>

#include "app/cli/console.h"

namespace r7700::cli {

bool IsTerminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}

int TerminalColumns(std::FILE* stream, int fallback) {
  const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(console, &info)) return fallback;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace r7700::cli
