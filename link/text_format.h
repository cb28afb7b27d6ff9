// printf-style formatting into a std::string: texts are never cut or overflowed.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

namespace r7700 {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

// The texts with ", " between them.
std::string Joined(const std::vector<std::string>& texts);
// The same, or "none" when there are none: a list of names for people.
std::string NamesText(const std::vector<std::string>& names);

}  // namespace r7700
