#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "languages/image_builder.h"

namespace r7700 {

std::FILE* CreateFileExclusive(const std::string& path) {
  // O_EXCL fails on any existing name, a symlink included, so a link planted
  // in a shared temporary folder is never followed. Only the owner may read
  // the image.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
  return file;
}

}  // namespace r7700
