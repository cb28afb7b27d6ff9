#include <windows.h>

#include <vector>

#include "app/profile_store.h"

namespace r7700 {
namespace {

// Copies of the program running at once (one per port) share the settings
// file, and the profile functions rewrite the whole file on every write: a
// write of one copy landing in another's read or write loses keys. One lock
// for the session, held for each call, keeps every call whole.
constexpr char kProfileMutexName[] = "Local\\r7700update-profile";
// A copy that holds the lock longer is hung; the call then goes ahead
// unguarded, as it would without the lock.
constexpr DWORD kProfileLockWaitMs = 10000;

class ProfileLock {
 public:
  explicit ProfileLock(HANDLE mutex) : mutex_(mutex) {
    if (mutex_ == nullptr) return;
    const DWORD wait = WaitForSingleObject(mutex_, kProfileLockWaitMs);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  ~ProfileLock() {
    if (held_) ReleaseMutex(mutex_);
  }
  ProfileLock(const ProfileLock&) = delete;
  ProfileLock& operator=(const ProfileLock&) = delete;

 private:
  HANDLE mutex_;
  bool held_ = false;
};

// The system's own profile functions.
class Win32ProfileStore : public ProfileStore {
 public:
  Win32ProfileStore() : mutex_(CreateMutexA(nullptr, FALSE, kProfileMutexName)) {}
  ~Win32ProfileStore() override {
    if (mutex_ != nullptr) CloseHandle(mutex_);
  }
  Win32ProfileStore(const Win32ProfileStore&) = delete;
  Win32ProfileStore& operator=(const Win32ProfileStore&) = delete;

  // As OpenFile with OF_EXIST opens and closes it, without that call's
  // 128-character limit on the path. A folder does not open this way.
  bool FileExists(const std::string& path) override {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
  }

  std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view default_value, size_t buffer_size) override {
    if (buffer_size == 0) return {};
    std::vector<char> buffer(buffer_size, '\0');
    const ProfileLock lock(mutex_);
    const DWORD length = GetPrivateProfileStringA(
        std::string(section).c_str(), std::string(key).c_str(), std::string(default_value).c_str(),
        buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    return std::string(buffer.data(), length);
  }

  bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) override {
    const ProfileLock lock(mutex_);
    return WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                      std::string(value).c_str(), path.c_str()) != FALSE;
  }

 private:
  HANDLE mutex_;
};

}  // namespace

std::unique_ptr<ProfileStore> MakePlatformProfileStore() {
  return std::make_unique<Win32ProfileStore>();
}

}  // namespace r7700
