// A fresh folder per test that stands in for the program's own folder, with
// its data folder, and the data paths that point into it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "link/data_paths.h"

namespace r7700 {

class TestFolder {
 public:
  TestFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "r7700-test-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    root_ = pattern;
    std::filesystem::create_directory(root_ / "data");
    paths_.folder = root_.string() + "/";
    paths_.catalogue_path = DataFilePath(paths_, kCatalogueFileName);
    paths_.firmware_path = DataFilePath(paths_, kFirmwareFileName);
    paths_.temp_image_path = (root_ / "lng1").string();
  }
  ~TestFolder() {
    std::error_code error;
    std::filesystem::remove_all(root_, error);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const DataPaths& paths() const { return paths_; }
  std::filesystem::path Path(std::string_view relative) const { return root_ / relative; }

  void Write(std::string_view relative, std::string_view bytes) const {
    std::ofstream out(Path(relative), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  void WriteData(std::string_view name, std::string_view bytes) const {
    Write("data/" + std::string(name), bytes);
  }
  std::string Read(std::string_view relative) const {
    std::ifstream in(Path(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists(std::string_view relative) const {
    return std::filesystem::symlink_status(Path(relative)).type() !=
           std::filesystem::file_type::not_found;
  }

 private:
  std::filesystem::path root_;
  DataPaths paths_;
};

}  // namespace r7700
