#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>

#include "languages/image_builder.h"

namespace r7700 {

std::FILE* CreateFileExclusive(const std::string& path) {
  // _O_EXCL becomes CREATE_NEW, which fails on any existing name, a
  // symbolic link or junction included; the C library's "x" mode is not
  // known to every runtime the program may meet.
  const int fd =
      _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) _close(fd);
  return file;
}

}  // namespace r7700
