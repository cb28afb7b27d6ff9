#include "link/error_report.h"

#include <array>
#include <cstdarg>

#include "link/text_format.h"

namespace r7700 {
namespace {

// The string table; "form" and "Invalidate" are the program's own words.
constexpr std::array<std::string_view, 9> kStringTable{
    "",
    "ERROR",
    "WARNING",
    "Cannot find the INI file %s !\nError nr.: %d",
    "Cannot find language %s form %s in file lang.cfg\nWarning nr.: %d",
    "Cannot find any free COM port !\nError nr.: %d",
    "Cannot open the file %s !\nError nr.: %d",
    "Invalidate syntax in file lang.cfg line : %d !\nError nr.: %d",
    "Cannot open COM port %s !\nError nr.: %d",
};

}  // namespace

std::string_view StringTableEntry(int entry) {
  if (entry < 1 || entry >= static_cast<int>(kStringTable.size())) return {};
  return kStringTable[static_cast<size_t>(entry)];
}

std::string LoadedTableEntry(int entry, size_t buffer_bytes) {
  if (buffer_bytes == 0) return {};
  return std::string(StringTableEntry(entry).substr(0, buffer_bytes - 1));
}

void ShowNumberedMessage(RunObserver& observer, int text_entry, int caption_entry, BoxIcon icon,
                         ...) {
  const std::string format = observer.MessageText(text_entry, kMessageFormatBytes);
  const std::string caption = observer.MessageText(caption_entry, kMessageCaptionBytes);
  va_list args;
  va_start(args, icon);
  const std::string text = FormatV(format.c_str(), args);
  va_end(args);
  observer.Problem(text, caption, icon);
}

void ShowRunError(RunObserver& observer, std::string_view text) {
  observer.Problem(text, kRunErrorCaption, BoxIcon::kError);
}

}  // namespace r7700
