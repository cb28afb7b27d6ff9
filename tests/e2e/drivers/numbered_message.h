// Numbered messages show the text of the program's own string table: entry
// 3 of a copy of the program is rewritten, and the copy, started while this
// process holds its settings file open without sharing (it exists but cannot
// be opened), must report the missing settings file in the rewritten words.
#pragma once

#include <string>

namespace r7700 {

// folder: the program folder with the copy r7700update.exe and product.ini.
// Returns the driver's exit status.
int CheckNumberedMessage(const std::string& folder);

}  // namespace r7700
