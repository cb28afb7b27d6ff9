// printf-style formatting into a std::string: texts are never cut or overflowed.
#pragma once

#include <cstdarg>
#include <string>

namespace r7700 {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

}  // namespace r7700
