#include "app/cli/modes/start_checks.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "app/cli/ports/port_choice.h"
#include "download/firmware_download.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

// A FIFO or a device is never opened here: the open itself could block.
std::string ReadableFileProblem(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) return path + ": not found";
  if (!std::filesystem::is_regular_file(status)) return path + ": not a regular file";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return path + ": cannot be read";
  std::fclose(file);
  return {};
}

std::string LanguagesProblem(const AppState& app) {
  LanguageCatalogue catalogue;
  if (LoadLanguageCatalogue(app.paths, catalogue) != 0) {
    return app.paths.catalogue_path + ": cannot be read";
  }
  std::set<std::string_view> counted;
  uint64_t bytes = kDirectoryBytes;
  std::string names;
  for (const int32_t row : app.selected) {
    if (row <= 0) continue;
    const std::string_view name = LanguageName(app.choices, row);
    if (!counted.insert(name).second) continue;
    names += (names.empty() ? "" : ", ") + std::string(name);
    const LanguageEntry* entry = FindCatalogueRow(catalogue, name);
    if (entry == nullptr) return "language " + std::string(name) + ": not in the catalogue";
    for (const std::string* file : FilesOf(*entry)) {
      const std::string path = DataFilePath(app.paths, *file);
      if (const std::string problem = ReadableFileProblem(path); !problem.empty()) {
        return problem + " (a file of " + std::string(name) + ")";
      }
      std::error_code error;
      bytes += std::filesystem::file_size(path, error);
    }
  }
  if (bytes <= kMaxLanguageImageBytes) return {};
  return Format("languages %s: %llu bytes, more than the %lu the instrument holds; choose fewer",
                names.c_str(), static_cast<unsigned long long>(bytes),
                static_cast<unsigned long>(kMaxLanguageImageBytes));
}

}  // namespace

std::string InputsProblem(const AppState& app, const UpdateRequest& request) {
  if (request.download_firmware) {
    if (std::string problem = FirmwareImageProblem(app.paths.firmware_path); !problem.empty()) {
      return problem;
    }
    if (std::string problem = ReadableFileProblem(app.paths.firmware_path); !problem.empty()) {
      return problem;
    }
  }
  return LanguagesProblem(app);
}

std::string PortProblem(SerialBackend& backend, const std::string& port) {
  const OpenResult opened = backend.Open(port);
  if (opened) return {};
  return OpenFailureLine(port, opened.failure);
}

std::string LogFolderProblem(const std::string& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    return "--log-dir " + folder + ": " +
           (std::filesystem::exists(folder, error) ? "not a folder" : "no such folder");
  }
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const std::string probe =
      (std::filesystem::path(folder) / (".r7700-update-" + std::to_string(stamp))).string();
  std::FILE* file = CreateFileExclusive(probe);
  if (file == nullptr) return "--log-dir " + folder + ": cannot create a file there";
  std::fclose(file);
  std::filesystem::remove(probe, error);
  return {};
}

}  // namespace r7700::cli
