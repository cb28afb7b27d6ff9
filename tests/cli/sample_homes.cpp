#include "tests/cli/sample_homes.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "tests/cli/processes.h"

namespace r7700::cli {
namespace {

namespace fs = std::filesystem;

class Home {
 public:
  Home(const std::string& name, const std::vector<std::string>& args, bool with_settings)
      : path_(MakeTempFolder(name)) {
    std::error_code error;
    const bool made = MakeSampleData(path_, args) &&
                      (with_settings || fs::remove(fs::path(path_) / "product.ini", error));
    if (!made) Remove();
  }
  ~Home() { Remove(); }
  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;

  const std::string& path() const { return path_; }

 private:
  void Remove() {
    std::error_code error;
    if (!path_.empty()) fs::remove_all(path_, error);
    path_.clear();
  }

  std::string path_;
};

}  // namespace

const std::string& FullHome() {
  static const Home home("r7700-home-full", {"--small"}, true);
  return home.path();
}

const std::string& RestrictedHome() {
  static const Home home("r7700-home-restricted", {"--small", "--mode", "restricted"}, true);
  return home.path();
}

const std::string& BareHome() {
  static const Home home("r7700-home-bare", {"--small"}, false);
  return home.path();
}

}  // namespace r7700::cli
