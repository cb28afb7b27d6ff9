#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "link/data_paths_platform.h"

namespace r7700 {
namespace {

bool IsFolder(const char* path) {
  struct stat info {};
  return path != nullptr && *path != '\0' && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

char PathSeparator() {
  return '/';
}

std::string OwnExecutablePath() {
  // readlink does not say whether it cut the name: grow until it fits.
  for (size_t size = 256; size <= 65536; size *= 2) {
    std::vector<char> buffer(size);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<size_t>(length));
    }
  }
  return {};
}

void SplitDriveAndFolder(const std::string& path, std::string* drive, std::string* folder) {
  drive->clear();
  const size_t last = path.rfind('/');
  *folder = last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string TempFolder() {
  std::string folder = "/tmp";
  for (const char* variable : {"TMP", "TMPDIR"}) {
    const char* value = std::getenv(variable);
    if (IsFolder(value)) {
      folder = value;
      break;
    }
  }
  if (folder.back() != '/') folder.push_back('/');
  return folder;
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

unsigned long TempNameSeed() {
  return static_cast<unsigned long>(getpid());
}

}  // namespace r7700
