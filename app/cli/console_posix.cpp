#include <unistd.h>

#include "app/cli/console.h"

namespace r7700::cli {

bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

}  // namespace r7700::cli
