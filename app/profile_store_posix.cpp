#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/profile_file.h"
#include "app/profile_store.h"

namespace r7700 {
namespace {

// Settings files read and written by our own implementation of the profile
// rules (app/profile_file.h).
class FileProfileStore : public ProfileStore {
 public:
  bool FileExists(const std::string& path) override {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    close(fd);
    return regular;
  }

  std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view default_value, size_t buffer_size) override {
    std::string text;
    if (ReadWholeFile(path, text) != FileReadResult::kRead) text.clear();
    return ReadProfileString(text, section, key, default_value, buffer_size);
  }

  bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) override {
    std::string text;
    // A file that exists but cannot be read is left alone rather than
    // replaced by one holding this value only.
    if (ReadWholeFile(path, text) == FileReadResult::kFailed) return false;
    return WriteWholeFile(path, WriteProfileString(text, section, key, value));
  }
};

}  // namespace

std::unique_ptr<ProfileStore> MakePlatformProfileStore() {
  return std::make_unique<FileProfileStore>();
}

}  // namespace r7700
