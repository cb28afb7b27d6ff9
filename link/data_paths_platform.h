// The platform halves of the data paths: the executable's own path, how a
// path splits into drive and folder, and where temporary files go. One
// implementation per platform (data_paths_posix.cpp, data_paths_win32.cpp).
#pragma once

#include <string>

namespace r7700 {

// '/' or '\'.
char PathSeparator();
// The running executable's full path, whole however long; empty when the
// platform cannot tell.
std::string OwnExecutablePath();
// The drive ("C:" on Windows, empty elsewhere) and the folder with its
// trailing separator; whatever follows the last separator is dropped.
void SplitDriveAndFolder(const std::string& path, std::string* drive, std::string* folder);
// The folder for the temporary language image, with trailing separator.
std::string TempFolder();
// True when anything (file, folder, dangling link) has that name.
bool PathExists(const std::string& path);
// Where the search for an unused temporary name starts: differs between
// processes running at the same time.
unsigned long TempNameSeed();

}  // namespace r7700
