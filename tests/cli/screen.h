// What a terminal of a given width shows after the bytes written to it: CR
// goes back to the start of the line, LF to the start of the next (a tty
// turns it into CR LF on output), any other byte
// stands over what was there. A line that runs past the width wraps, as a
// terminal would, and is counted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace r7700::cli {

struct Screen {
  std::vector<std::string> lines;  // trailing blanks removed
  int wrapped = 0;
};

inline Screen ShowOnScreen(std::string_view bytes, size_t columns) {
  Screen screen{{""}, 0};
  size_t column = 0;
  for (const char c : bytes) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      screen.lines.emplace_back();
      column = 0;
    } else {
      if (column == columns) {
        ++screen.wrapped;
        screen.lines.emplace_back();
        column = 0;
      }
      std::string& line = screen.lines.back();
      if (column < line.size()) {
        line[column] = c;
      } else {
        line.push_back(c);
      }
      ++column;
    }
  }
  for (std::string& line : screen.lines) line.erase(line.find_last_not_of(' ') + 1);
  if (screen.lines.back().empty()) screen.lines.pop_back();
  return screen;
}

}  // namespace r7700::cli
