#include "app/profile_file.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <vector>

namespace r7700 {
namespace {

constexpr std::string_view kNewFileLineEnd = "\r\n";

enum class LineKind { kBlank, kSection, kComment, kKey, kOther };

// One line of the file: text is its content without the line end, which
// spans [content_end, end) of the file.
struct ProfileLine {
  size_t begin = 0;
  size_t content_end = 0;
  size_t end = 0;
  LineKind kind = LineKind::kBlank;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

void Classify(std::string_view content, ProfileLine& line) {
  const std::string_view trimmed = Trim(content);
  if (trimmed.empty()) {
    line.kind = LineKind::kBlank;
  } else if (trimmed.front() == '[' && trimmed.find(']') != std::string_view::npos) {
    // A header without its closing bracket is no header: like the Windows
    // functions, read it as an ordinary line of the section before it.
    line.kind = LineKind::kSection;
    const std::string_view inside = trimmed.substr(1);
    line.name = Trim(inside.substr(0, inside.rfind(']')));
  } else if (trimmed.front() == ';') {
    line.kind = LineKind::kComment;
  } else if (const size_t equals = trimmed.find('='); equals != std::string_view::npos) {
    line.kind = LineKind::kKey;
    line.name = Trim(trimmed.substr(0, equals));
    line.value = Trim(trimmed.substr(equals + 1));
  } else {
    line.kind = LineKind::kOther;
  }
}

// Editors on Windows often save UTF-8 with a byte-order mark; the first
// section header stands behind it.
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

std::vector<ProfileLine> SplitLines(std::string_view text) {
  std::vector<ProfileLine> lines;
  size_t begin = text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark
                     ? kUtf8ByteOrderMark.size()
                     : 0;
  while (begin < text.size()) {
    ProfileLine line;
    line.begin = begin;
    const size_t newline = text.find('\n', begin);
    line.end = newline == std::string_view::npos ? text.size() : newline + 1;
    line.content_end = newline == std::string_view::npos ? text.size() : newline;
    if (line.content_end > begin && text[line.content_end - 1] == '\r') --line.content_end;
    Classify(text.substr(begin, line.content_end - begin), line);
    lines.push_back(line);
    begin = line.end;
  }
  return lines;
}

std::optional<size_t> FindSection(const std::vector<ProfileLine>& lines, std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind == LineKind::kSection && EqualsIgnoringCase(lines[i].name, section)) return i;
  }
  return std::nullopt;
}

// The index one past the section's last line: the next section's header or
// the end of the file.
size_t SectionEnd(const std::vector<ProfileLine>& lines, size_t header) {
  size_t i = header + 1;
  while (i < lines.size() && lines[i].kind != LineKind::kSection) ++i;
  return i;
}

std::optional<size_t> FindKey(const std::vector<ProfileLine>& lines, size_t header,
                              std::string_view key) {
  const size_t end = SectionEnd(lines, header);
  for (size_t i = header + 1; i < end; ++i) {
    if (lines[i].kind == LineKind::kKey && EqualsIgnoringCase(lines[i].name, key)) return i;
  }
  return std::nullopt;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string_view LineEndOf(std::string_view text) {
  const size_t newline = text.find('\n');
  if (newline == std::string_view::npos) return kNewFileLineEnd;
  return newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

std::string KeyLine(std::string_view key, std::string_view value) {
  std::string line(key);
  line += '=';
  line += value;
  return line;
}

}  // namespace

std::string ReadProfileString(std::string_view text, std::string_view section, std::string_view key,
                              std::string_view default_value, size_t buffer_size) {
  if (buffer_size == 0) return {};
  std::string_view value = default_value;
  const std::vector<ProfileLine> lines = SplitLines(text);
  if (const auto header = FindSection(lines, section)) {
    if (const auto found = FindKey(lines, *header, key)) value = Unquote(lines[*found].value);
  }
  return std::string(value.substr(0, buffer_size - 1));
}

std::string WriteProfileString(std::string_view text, std::string_view section,
                               std::string_view key, std::string_view value) {
  const std::string_view eol = LineEndOf(text);
  const std::vector<ProfileLine> lines = SplitLines(text);
  const auto header = FindSection(lines, section);
  std::string result;
  if (!header) {
    result = text;
    if (!result.empty() && result.back() != '\n') result += eol;
    result += '[';
    result += section;
    result += ']';
    result += eol;
    result += KeyLine(key, value);
    result += eol;
    return result;
  }
  if (const auto found = FindKey(lines, *header, key)) {
    const ProfileLine& line = lines[*found];
    result = text.substr(0, line.begin);
    result += KeyLine(line.name, value);
    result += text.substr(line.content_end);
    return result;
  }
  size_t last = *header;
  for (size_t i = *header + 1; i < SectionEnd(lines, *header); ++i) {
    if (lines[i].kind != LineKind::kBlank) last = i;
  }
  const ProfileLine& anchor = lines[last];
  result = text.substr(0, anchor.end);
  if (text[anchor.end - 1] != '\n') result += eol;
  result += KeyLine(key, value);
  result += eol;
  result += text.substr(anchor.end);
  return result;
}

FileReadResult ReadWholeFile(const std::string& path, std::string& text) {
  text.clear();
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return errno == ENOENT ? FileReadResult::kMissing : FileReadResult::kFailed;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return failed ? FileReadResult::kFailed : FileReadResult::kRead;
}

bool WriteWholeFile(const std::string& path, std::string_view text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace r7700
