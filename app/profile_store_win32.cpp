#include <windows.h>

#include <vector>

#include "app/profile_store.h"

namespace r7700 {
namespace {

// The system's own profile functions.
class Win32ProfileStore : public ProfileStore {
 public:
  bool FileExists(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view default_value, size_t buffer_size) override {
    if (buffer_size == 0) return {};
    std::vector<char> buffer(buffer_size, '\0');
    const DWORD length = GetPrivateProfileStringA(
        std::string(section).c_str(), std::string(key).c_str(), std::string(default_value).c_str(),
        buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    return std::string(buffer.data(), length);
  }

  bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) override {
    return WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                      std::string(value).c_str(), path.c_str()) != FALSE;
  }
};

}  // namespace

std::unique_ptr<ProfileStore> MakePlatformProfileStore() {
  return std::make_unique<Win32ProfileStore>();
}

}  // namespace r7700
