// Settings files in the Windows profile format, read and written by the same
// rules as the Windows profile functions, over the text of one file:
//   - "[Section]" lines open a section; "key=value" lines inside it hold the
//     values; lines whose first non-blank character is ';' are comments;
//     lines of any other form are kept but hold no value;
//   - section and key names compare case-insensitively (ASCII); blanks
//     around names and values are trimmed; a value enclosed in matching
//     double or single quotes loses them;
//   - the first matching section and, inside it, the first matching key win.
// Lines end in LF or CR LF; a written file keeps its own line end, a new one
// gets CR LF as the Windows functions write it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace r7700 {

// The value of key in section, or default_value when the section or key is
// missing; cut to buffer_size - 1 characters (empty for buffer_size 0).
std::string ReadProfileString(std::string_view text, std::string_view section, std::string_view key,
                              std::string_view default_value, size_t buffer_size);

// The text with key in section set to value: an existing key's line is
// rewritten in place as "key=value" (the key spelt as in the file, the line
// end kept); a missing key is added after the section's last non-blank line;
// a missing section is appended at the end. Every other line stays byte for
// byte.
std::string WriteProfileString(std::string_view text, std::string_view section,
                               std::string_view key, std::string_view value);

enum class FileReadResult { kRead, kMissing, kFailed };

// Reads a whole file in binary.
FileReadResult ReadWholeFile(const std::string& path, std::string& text);
// Replaces a file's contents in binary; false when it cannot be written.
bool WriteWholeFile(const std::string& path, std::string_view text);

}  // namespace r7700
