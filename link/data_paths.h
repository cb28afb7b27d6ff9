// Where the program finds its files: the folder of the executable (or the
// folder given to the command-line program), the catalogue and firmware
// image in its data folder, and the temporary language image.
#pragma once

#include <string>
#include <string_view>

namespace r7700 {

struct DataPaths {
  std::string executable_path;
  std::string drive;   // "C:" on Windows, empty elsewhere
  std::string folder;  // with leading and trailing separator
  std::string catalogue_path;
  std::string firmware_path;
  std::string temp_image_path;  // chosen once per process, not created here
};

inline constexpr std::string_view kCatalogueFileName = "lang.cfg";
inline constexpr std::string_view kFirmwareFileName = "vqvesk.bin";

// drive + folder + "data" + separator + file_name.
std::string DataFilePath(const DataPaths& paths, std::string_view file_name);
// drive + folder + file_name: the settings files lie beside the executable.
std::string ProgramFilePath(const DataPaths& paths, std::string_view file_name);

// Fills the paths from the running executable's own path.
DataPaths ResolveDataPaths();
// Fills the paths as if the executable lay in folder (the command line's --home).
DataPaths ResolveDataPathsForFolder(const std::string& folder);

}  // namespace r7700
