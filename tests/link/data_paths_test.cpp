#include "link/data_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace r7700 {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "r7700-paths-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// "lng" followed by a decimal number, nothing else.
bool IsTempImageName(const std::string& name) {
  if (name.size() < 4 || name.compare(0, 3, "lng") != 0) return false;
  return name.find_first_not_of("0123456789", 3) == std::string::npos;
}

TEST(DataPaths, DataFilesLieInTheDataFolderSettingsBesideTheProgram) {
  DataPaths paths;
  paths.folder = "/opt/r7700/";
  EXPECT_EQ(DataFilePath(paths, "lang.cfg"), "/opt/r7700/data/lang.cfg");
  EXPECT_EQ(DataFilePath(paths, "german.lng"), "/opt/r7700/data/german.lng");
  EXPECT_EQ(ProgramFilePath(paths, "product.ini"), "/opt/r7700/product.ini");
}

TEST(DataPaths, ResolvedFromTheRunningExecutable) {
  const DataPaths paths = ResolveDataPaths();
  const fs::path exe = fs::canonical("/proc/self/exe");
  EXPECT_EQ(paths.executable_path, exe.string());
  EXPECT_EQ(paths.drive, "");
  EXPECT_EQ(paths.folder, exe.parent_path().string() + "/");
  EXPECT_EQ(paths.catalogue_path, paths.folder + "data/lang.cfg");
  EXPECT_EQ(paths.firmware_path, paths.folder + "data/vqvesk.bin");
}

TEST(DataPaths, HomeFolderStandsInForTheProgramFolder) {
  const DataPaths absolute = ResolveDataPathsForFolder("/srv/r7700");
  EXPECT_EQ(absolute.folder, "/srv/r7700/");
  EXPECT_EQ(absolute.catalogue_path, "/srv/r7700/data/lang.cfg");
  EXPECT_EQ(absolute.firmware_path, "/srv/r7700/data/vqvesk.bin");
  EXPECT_EQ(ResolveDataPathsForFolder("/srv/r7700/").folder, "/srv/r7700/");

  const DataPaths relative = ResolveDataPathsForFolder("service");
  EXPECT_EQ(relative.folder, (fs::current_path() / "service").string() + "/");
}

TEST(DataPaths, LongPathsAreKeptWhole) {
  std::string folder;
  for (int i = 0; i < 8; ++i) folder += "/a-rather-long-folder-name-" + std::to_string(i);
  ASSERT_GT(folder.size(), 204u);
  const DataPaths paths = ResolveDataPathsForFolder(folder);
  EXPECT_EQ(paths.catalogue_path, folder + "/data/lang.cfg");
  EXPECT_EQ(paths.firmware_path, folder + "/data/vqvesk.bin");

  TempDir dir;
  const std::string long_tmp = dir.path() + folder;
  fs::create_directories(long_tmp);
  ScopedEnv tmp("TMP", long_tmp.c_str());
  const DataPaths in_long_tmp = ResolveDataPaths();
  EXPECT_EQ(fs::path(in_long_tmp.temp_image_path).parent_path().string(), long_tmp);
}

TEST(DataPaths, TempImageLiesInTmpAndIsNotCreated) {
  TempDir dir;
  ScopedEnv tmp("TMP", dir.path().c_str());
  const DataPaths paths = ResolveDataPaths();
  const fs::path image(paths.temp_image_path);
  EXPECT_EQ(image.parent_path().string(), dir.path());
  EXPECT_TRUE(IsTempImageName(image.filename().string())) << paths.temp_image_path;
  EXPECT_FALSE(fs::exists(image));
}

TEST(DataPaths, TakenTempNamesAreSkipped) {
  TempDir dir;
  ScopedEnv tmp("TMP", dir.path().c_str());
  const DataPaths first = ResolveDataPaths();
  std::ofstream(first.temp_image_path) << "image";
  const DataPaths second = ResolveDataPaths();
  EXPECT_NE(second.temp_image_path, first.temp_image_path);
  EXPECT_EQ(fs::path(second.temp_image_path).parent_path().string(), dir.path());
  EXPECT_TRUE(IsTempImageName(fs::path(second.temp_image_path).filename().string()));
  EXPECT_FALSE(fs::exists(second.temp_image_path));

  // A dangling link counts as taken: nobody's link is followed.
  fs::create_symlink(dir.path() + "/nowhere", second.temp_image_path);
  EXPECT_NE(ResolveDataPaths().temp_image_path, second.temp_image_path);
}

TEST(DataPaths, TmpThatIsNoFolderFallsBackToTmpdirThenSlashTmp) {
  TempDir dir;
  const std::string file = dir.path() + "/plain-file";
  std::ofstream(file) << "x";
  const std::string tmpdir = dir.path() + "/tmpdir";
  fs::create_directory(tmpdir);
  {
    ScopedEnv tmp("TMP", file.c_str());
    ScopedEnv tmpdir_env("TMPDIR", tmpdir.c_str());
    EXPECT_EQ(fs::path(ResolveDataPaths().temp_image_path).parent_path().string(), tmpdir);
  }
  ScopedEnv tmp("TMP", nullptr);
  ScopedEnv tmpdir_env("TMPDIR", (dir.path() + "/missing").c_str());
  const fs::path image(ResolveDataPaths().temp_image_path);
  EXPECT_EQ(image.parent_path().string(), "/tmp");
  EXPECT_TRUE(IsTempImageName(image.filename().string()));
}

}  // namespace
}  // namespace r7700
