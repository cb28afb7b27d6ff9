// The one platform question of the command line: is a standard stream a
// terminal (a console on Windows)? It decides whether a progress bar is drawn
// and whether typed answers are already echoed.
#pragma once

#include <cstdio>

namespace r7700::cli {

bool IsTerminal(std::FILE* stream);

// The width of the terminal behind stream; fallback when it has none.
int TerminalColumns(std::FILE* stream, int fallback);

}  // namespace r7700::cli
