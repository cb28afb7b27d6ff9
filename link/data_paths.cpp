#include "link/data_paths.h"

#include <filesystem>
#include <system_error>

#include "link/data_paths_platform.h"
#include "link/text_format.h"

namespace r7700 {
namespace {

// Names taken one after another before the search gives up and returns the
// last one; the image builder creates the file exclusively, so a name taken
// meanwhile fails there instead of overwriting anybody's file.
constexpr unsigned long kTempNameTries = 100000;

std::string ChooseTempImagePath() {
  const std::string folder = TempFolder();
  const unsigned long seed = TempNameSeed();
  std::string path;
  for (unsigned long i = 0; i < kTempNameTries; ++i) {
    path = Format("%slng%lu", folder.c_str(), seed + i);
    if (!PathExists(path)) break;
  }
  return path;
}

void FillFilePaths(DataPaths& paths) {
  paths.catalogue_path = DataFilePath(paths, kCatalogueFileName);
  paths.firmware_path = DataFilePath(paths, kFirmwareFileName);
  paths.temp_image_path = ChooseTempImagePath();
}

}  // namespace

std::string DataFilePath(const DataPaths& paths, std::string_view file_name) {
  const std::string name(file_name);
  return Format("%s%sdata%c%s", paths.drive.c_str(), paths.folder.c_str(), PathSeparator(),
                name.c_str());
}

std::string ProgramFilePath(const DataPaths& paths, std::string_view file_name) {
  return paths.drive + paths.folder + std::string(file_name);
}

DataPaths ResolveDataPaths() {
  DataPaths paths;
  paths.executable_path = OwnExecutablePath();
  SplitDriveAndFolder(paths.executable_path, &paths.drive, &paths.folder);
  FillFilePaths(paths);
  return paths;
}

DataPaths ResolveDataPathsForFolder(const std::string& folder) {
  DataPaths paths;
  paths.executable_path = OwnExecutablePath();
  // Made absolute so that the paths in messages say where they looked.
  std::error_code error;
  std::string home = std::filesystem::absolute(folder.empty() ? "." : folder, error).string();
  if (error) home = folder;
  if (home.empty() || home.back() != PathSeparator()) home.push_back(PathSeparator());
  SplitDriveAndFolder(home, &paths.drive, &paths.folder);
  FillFilePaths(paths);
  return paths;
}

}  // namespace r7700
