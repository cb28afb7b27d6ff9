// Error boxes: numbered messages from the string table, and the fixed run
// error texts under the caption "Error!".
#pragma once

#include <string>
#include <string_view>

#include "link/run_observer.h"
#include "link/window_surface.h"

namespace r7700 {

// Message numbers: the last argument of every numbered message.
inline constexpr int kMsgIniMissing = 100;
inline constexpr int kMsgNoFreePort = 101;
inline constexpr int kMsgCatalogueUnreadable = 102;
inline constexpr int kMsgCatalogueSyntax = 103;
inline constexpr int kMsgPortOpenFailed = 104;
inline constexpr int kMsgLanguageMissing = 200;

// The loads are cut to these buffers, terminating zero included.
inline constexpr size_t kMessageFormatBytes = 256;
inline constexpr size_t kMessageCaptionBytes = 40;

// Entries 1 to 8 of the string table; empty text for any other entry. The
// source of the program's string-table resource, and the table itself
// where there are no such resources.
std::string_view StringTableEntry(int entry);
// The entry as a string-table load into buffer_bytes gives it: cut to
// buffer_bytes - 1 characters.
std::string LoadedTableEntry(int entry, size_t buffer_bytes);

// Loads text and caption entries from the window's string table, formats
// the text printf-style with the arguments (the message number last) and
// shows it with an OK button. The formatted text is shown whole, however
// long.
void ShowNumberedMessage(RunObserver& observer, int text_entry, int caption_entry, BoxIcon icon,
                         ...);

// A problem with text, caption "Error!" and the error icon.
void ShowRunError(RunObserver& observer, std::string_view text);

inline constexpr std::string_view kRunErrorCaption = "Error!";

}  // namespace r7700
