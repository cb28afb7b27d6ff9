#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "link/data_paths_platform.h"

namespace r7700 {
namespace {

// Long paths ("\\?\" prefixed) reach 32767 characters.
constexpr DWORD kLongestPath = 32768;

bool IsFolder(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder.push_back('\\');
  return folder;
}

std::string CurrentFolder() {
  std::vector<char> buffer(kLongestPath);
  const DWORD length = GetCurrentDirectoryA(kLongestPath, buffer.data());
  if (length == 0 || length >= kLongestPath) return {};
  return std::string(buffer.data(), length);
}

}  // namespace

char PathSeparator() {
  return '\\';
}

std::string OwnExecutablePath() {
  // GetModuleFileNameA cuts the name to the buffer and says so only by
  // filling it: grow until the name fits.
  for (DWORD size = MAX_PATH; size <= kLongestPath; size *= 2) {
    std::vector<char> buffer(size);
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) return std::string(buffer.data(), length);
  }
  return {};
}

// As _splitpath does it: "C:" when the path starts with a drive letter, and
// everything up to the last '\' or '/' as the folder.
void SplitDriveAndFolder(const std::string& path, std::string* drive, std::string* folder) {
  const bool has_drive = path.size() >= 2 && path[1] == ':';
  *drive = has_drive ? path.substr(0, 2) : std::string();
  const std::string rest = has_drive ? path.substr(2) : path;
  const size_t last = rest.find_last_of("\\/");
  *folder = last == std::string::npos ? std::string() : rest.substr(0, last + 1);
}

std::string TempFolder() {
  const char* tmp = std::getenv("TMP");
  if (tmp != nullptr && IsFolder(tmp)) return WithSeparator(tmp);
  if (IsFolder("C:\\")) return "C:\\";
  const std::string current = CurrentFolder();
  if (current.size() >= 3 && current[1] == ':' && IsFolder(current.substr(0, 3))) {
    return current.substr(0, 3);
  }
  return WithSeparator(current);
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

unsigned long TempNameSeed() {
  return static_cast<unsigned long>(GetCurrentProcessId());
}

}  // namespace r7700
