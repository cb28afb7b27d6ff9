#include "languages/catalogue.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "link/control_ids.h"
#include "link/dialog_observer.h"
#include "link/error_report.h"

namespace r7700 {
namespace {

constexpr size_t kFieldsPerLine = 7;

// Reads a file in pieces the way a text-mode line read does: a piece is one
// line with its LF, or the first max_chars characters of a longer line. The
// file is opened in binary and a CR before an LF dropped here, so both
// platforms see the same pieces.
class PieceReader {
 public:
  explicit PieceReader(std::FILE* file) : file_(file) {}

  // False at the end of the file. A piece stops at an embedded NUL, as a
  // C string read with fgets would.
  bool Next(size_t max_chars, std::string& piece) {
    piece.clear();
    bool read_any = false;
    while (piece.size() < max_chars) {
      const int c = Get();
      if (c == EOF) break;
      read_any = true;
      piece.push_back(static_cast<char>(c));
      if (c == '\n') break;
    }
    piece.resize(std::strlen(piece.c_str()));
    return read_any;
  }

 private:
  int Get() {
    int c;
    if (has_pending_) {
      has_pending_ = false;
      c = pending_;
    } else {
      c = std::fgetc(file_);
    }
    if (c != '\r') return c;
    const int next = std::fgetc(file_);
    if (next == '\n') return '\n';
    pending_ = next;
    has_pending_ = true;
    return c;
  }

  std::FILE* file_;
  int pending_ = EOF;
  bool has_pending_ = false;
};

// Closes the file however the pass ends.
struct FileCloser {
  std::FILE* file;
  ~FileCloser() { std::fclose(file); }
};

bool IsSkipped(const std::string& piece) {
  return piece.empty() || piece[0] == '#' || piece[0] == '\n';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Splits at commas; runs of commas are one separator and leading commas are
// ignored, so no field is ever empty. Returns the number of fields found.
size_t SplitFields(std::string_view piece, std::array<std::string_view, kFieldsPerLine>& fields) {
  size_t count = 0;
  size_t pos = 0;
  while (count < fields.size()) {
    pos = piece.find_first_not_of(',', pos);
    if (pos == std::string_view::npos) break;
    const size_t end = std::min(piece.find(',', pos), piece.size());
    fields[count++] = piece.substr(pos, end - pos);
    pos = end;
  }
  return count;
}

std::string_view SkipBlanks(std::string_view field) {
  size_t i = 0;
  while (i < field.size() && IsBlank(field[i])) ++i;
  return field.substr(i);
}

// The field's first word, cut to the 19 characters a table field holds.
std::string FirstWord(std::string_view field) {
  field = SkipBlanks(field);
  size_t length = 0;
  while (length < field.size() && !IsBlank(field[length])) ++length;
  return std::string(field.substr(0, std::min(length, kLanguageNameChars)));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Digits beyond 32 bits wrap, as the C library's conversion into a 32-bit
// field does; only the low 16 bits reach the image.
int32_t ParseDecimal(std::string_view field) {
  field = SkipBlanks(field);
  bool negative = false;
  if (!field.empty() && (field[0] == '+' || field[0] == '-')) {
    negative = field[0] == '-';
    field.remove_prefix(1);
  }
  uint32_t value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') break;
    value = value * 10u + static_cast<uint32_t>(c - '0');
  }
  return static_cast<int32_t>(negative ? 0u - value : value);
}

uint32_t ParseHex(std::string_view field) {
  field = SkipBlanks(field);
  if (field.size() >= 2 && field[0] == '0' && (field[1] == 'x' || field[1] == 'X')) {
    field.remove_prefix(2);
  }
  uint32_t value = 0;
  for (char c : field) {
    const int digit = HexDigit(c);
    if (digit < 0) break;
    value = value * 16u + static_cast<uint32_t>(digit);
  }
  return value;
}

// Only a regular file is a catalogue: a folder would read as an empty one
// and a FIFO would block the start-up.
std::FILE* OpenCatalogue(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return nullptr;
  return std::fopen(path.c_str(), "rb");
}

}  // namespace

int LoadLanguageChoices(WindowSurface& window, const DataPaths& paths, LanguageChoices& choices) {
  choices.rows[0].name = kNoLanguageName;
  std::FILE* file = OpenCatalogue(paths.catalogue_path);
  if (file == nullptr) {
    DialogObserver observer(window);
    ShowNumberedMessage(observer, IDS_FILE_MISSING, IDS_CAPTION_ERROR, BoxIcon::kError,
                        paths.catalogue_path.c_str(), kMsgCatalogueUnreadable);
    return kMsgCatalogueUnreadable;
  }
  FileCloser closer{file};
  PieceReader reader(file);
  std::string piece;
  std::array<std::string_view, kFieldsPerLine> fields;
  int line = 0;
  int next_row = 1;
  while (reader.Next(kChoicesPieceChars, piece)) {
    ++line;
    if (IsSkipped(piece)) continue;
    if (SplitFields(piece, fields) == 0 || next_row > kMaxCatalogueDataLines) {
      DialogObserver observer(window);
      ShowNumberedMessage(observer, IDS_CATALOGUE_SYNTAX, IDS_CAPTION_ERROR, BoxIcon::kError, line,
                          kMsgCatalogueSyntax);
      return kMsgCatalogueSyntax;
    }
    // A field without a word gives an empty name, which ends the lists there.
    choices.rows[static_cast<size_t>(next_row++)].name = FirstWord(fields[0]);
  }
  choices.rows[static_cast<size_t>(next_row)].name.clear();
  return 0;
}

int LoadLanguageCatalogue(const DataPaths& paths, LanguageCatalogue& catalogue) {
  std::FILE* file = OpenCatalogue(paths.catalogue_path);
  if (file == nullptr) return -1;
  FileCloser closer{file};
  PieceReader reader(file);
  // Filled aside and taken over whole, so a failed pass cannot leave rows of
  // the new file under the count of the old one.
  LanguageCatalogue fresh;
  std::string piece;
  std::array<std::string_view, kFieldsPerLine> fields;
  while (reader.Next(kCataloguePieceChars, piece)) {
    if (IsSkipped(piece)) continue;
    fields.fill({});
    if (SplitFields(piece, fields) == 0 || fresh.count >= kMaxCatalogueDataLines) return -1;
    LanguageEntry& row = fresh.rows[static_cast<size_t>(fresh.count++)];
    row.name = FirstWord(fields[0]);
    row.first_module_file = FirstWord(fields[1]);
    row.second_module_file = FirstWord(fields[2]);
    row.font_file = FirstWord(fields[3]);
    row.decimal_value = ParseDecimal(fields[4]);
    row.hex_value1 = ParseHex(fields[5]);
    row.hex_value2 = ParseHex(fields[6]);
  }
  catalogue = std::move(fresh);
  return 0;
}

int FindLanguage(const LanguageChoices& choices, std::string_view name) {
  for (int row = 0; row < kLanguageRows; ++row) {
    const std::string& row_name = choices.rows[static_cast<size_t>(row)].name;
    if (row_name.empty()) break;
    if (row_name == name) return row;
  }
  return -1;
}

std::string_view LanguageName(const LanguageChoices& choices, int32_t row) {
  if (row < 0 || row >= kLanguageRows) return kNoLanguageName;
  return choices.rows[static_cast<size_t>(row)].name;
}

}  // namespace r7700
