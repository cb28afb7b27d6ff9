// The language catalogue "lang.cfg": which languages the instrument can be
// given, with the module and font files that make up each one.
//
// File format, line by line (a CR before the LF is dropped, so files with
// either line end read alike):
//   - a line whose first character is '#' is a comment; an empty line is
//     skipped;
//   - every other line is a data line of up to seven comma-separated fields:
//     name, first module file, second module file, font file ("0..." for no
//     font), a decimal number with optional sign and two hexadecimal numbers
//     (either case, "0x" optional). Runs of commas count as one separator and
//     commas before the first field are ignored. A text field is its first
//     word (cut at blanks, tabs and line ends); anything after the word up to
//     the next comma is ignored. Reading a number stops at the first
//     character that does not belong to it.
//   - a line is read in pieces of at most 199 (names pass) or 99 (full pass)
//     characters; the rest of a longer line is read as a line of its own.
//
// Limits (the tables have fixed room):
//   - a word longer than 19 characters is cut to its first 19;
//   - a catalogue with more than 18 data lines is refused: the names pass
//     shows message 103 naming the line of the 19th data line, the full pass
//     returns -1.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/data_paths.h"
#include "link/window_surface.h"

namespace r7700 {

// Each text field holds at most 19 characters (a 20-byte field on the
// instrument and in the settings file).
inline constexpr size_t kLanguageNameChars = 19;
inline constexpr int kLanguageRows = 20;
// Row 0 is "None" and one row is the end marker.
inline constexpr int kMaxCatalogueDataLines = kLanguageRows - 2;
inline constexpr size_t kChoicesPieceChars = 199;
inline constexpr size_t kCataloguePieceChars = 99;
inline constexpr std::string_view kNoLanguageName = "None";

struct LanguageEntry {
  std::string name;
  std::string first_module_file;
  std::string second_module_file;
  std::string font_file;  // a word starting with '0' means no font
  int32_t decimal_value = 0;
  uint32_t hex_value1 = 0;
  uint32_t hex_value2 = 0;
};

// The names behind the four language lists: row 0 "None", rows 1 to N the
// catalogue's languages in file order, then a row with an empty name that
// ends the table for every reader.
struct LanguageChoices {
  std::array<LanguageEntry, kLanguageRows> rows{};
};

// All fields of the catalogue's data lines, rows 0 to count - 1.
struct LanguageCatalogue {
  std::array<LanguageEntry, kLanguageRows> rows{};
  int32_t count = 0;
};

// Row indices of LanguageChoices for the boot, second, third and fourth
// language; 0 is "None".
using SelectedLanguages = std::array<int32_t, 4>;
inline constexpr SelectedLanguages kInitialSelectedLanguages{1, 0, 0, 0};

// Reads the names of the catalogue at paths.catalogue_path into choices.
// Returns 0; 102 after showing message 102 when the file cannot be opened;
// 103 after showing message 103 with the line number (comment, empty and
// continuation pieces counted, the first line is 1) when a data line holds
// nothing but commas and no line end, or when it is the 19th data line.
// Rows filled before a failure stay; no end marker is written then.
int LoadLanguageChoices(WindowSurface& window, const DataPaths& paths, LanguageChoices& choices);

// Reads all fields of the catalogue into catalogue. Returns 0, or -1 when the
// file cannot be opened, a data line yields no field, or there are more than
// 18 data lines; on -1 the catalogue is left exactly as it was. Missing
// fields read as empty words and 0. Reports nothing.
int LoadLanguageCatalogue(const DataPaths& paths, LanguageCatalogue& catalogue);

// The index of the first row from row 0 whose name equals name exactly
// (case-sensitive), searching up to the end marker; -1 when absent.
int FindLanguage(const LanguageChoices& choices, std::string_view name);

// The name of a row of LanguageChoices; "None" for a row outside the table.
std::string_view LanguageName(const LanguageChoices& choices, int32_t row);

// Whether a catalogue font field names no font.
inline bool HasNoFont(const LanguageEntry& entry) {
  return !entry.font_file.empty() && entry.font_file[0] == '0';
}

}  // namespace r7700
