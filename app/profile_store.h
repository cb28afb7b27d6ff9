// The profile store seam: sectioned key=value settings files. Windows uses
// its own profile functions; elsewhere profile_file.cpp reads and writes the
// same format by the same rules.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace r7700 {

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  // Whether path is a file that can be opened for reading: it is opened
  // and closed again. A file that exists but cannot be opened counts as
  // missing.
  virtual bool FileExists(const std::string& path) = 0;
  // The value of key in section, or default_value when the file, section
  // or key is missing; cut to buffer_size - 1 characters.
  virtual std::string ReadString(const std::string& path, std::string_view section,
                                 std::string_view key, std::string_view default_value,
                                 size_t buffer_size) = 0;
  // Creates the file, section or key when missing; keeps every other line.
  virtual bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view value) = 0;
};

// The platform's profile store.
std::unique_ptr<ProfileStore> MakePlatformProfileStore();

}  // namespace r7700
