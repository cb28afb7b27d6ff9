// The sample data generator, run as a program into temporary folders; its
// output is read back with the core's catalogue and settings readers.
#include <sys/wait.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "app/profile_file.h"
#include "app/settings.h"
#include "download/firmware_download.h"
#include "languages/catalogue.h"
#include "languages/image_builder.h"
#include "link/data_paths.h"
#include "link/memory_window.h"

namespace r7700 {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMissing = "<missing>";

struct SettingsKey {
  std::string_view section;
  std::string_view key;
  std::string_view default_value;
};

constexpr std::array<SettingsKey, 4> kLanguageKeys{{
    {"LanguageDefaults", "Language1", "English"},
    {"LanguageDefaults", "Language2", "None"},
    {"LanguageDefaults", "Language3", "None"},
    {"LanguageDefaults", "Language4", "None"},
}};

constexpr std::array<SettingsKey, 5> kProductKeys{{
    {"ProductDefaults", "DownloadLanguages", "TRUE"},
    {"ProductDefaults", "DownloadFirmware", "TRUE"},
    {"ProductDefaults", "DownloadBootSector", "FALSE"},
    {"ProductDefaults", "EraseUserFlashMem", "FALSE"},
    {"ProductDefaults", "DownloadTo", "FLASH"},
}};

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "r7700-sample-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The generator's exit status for a shell-quoted argument list.
int RunGeneratorWith(const std::string& arguments) {
  const std::string command =
      "'" + std::string(R7700_MAKE_SAMPLE_DATA) + "' " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunGenerator(const fs::path& folder, const std::string& options = "") {
  return RunGeneratorWith("'" + folder.string() + "' " + options);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Value(const std::string& text, const SettingsKey& key) {
  return ReadProfileString(text, key.section, key.key, kMissing, kSettingsValueBytes);
}

// The module files and, when it has one, the font file of a language.
std::vector<std::string> FileNamesOf(const LanguageEntry& entry) {
  std::vector<std::string> files{entry.first_module_file, entry.second_module_file};
  if (!HasNoFont(entry)) files.push_back(entry.font_file);
  return files;
}

// Generates into a fresh folder and reads the catalogue back with the
// core's reader.
class GeneratedCatalogueTest : public ::testing::Test {
 protected:
  void Generate(const std::string& options = "") {
    ASSERT_EQ(RunGenerator(folder_.path(), options), 0);
    ASSERT_EQ(LoadLanguageCatalogue(paths(), catalogue_), 0);
    ASSERT_EQ(catalogue_.count, 5);
  }
  DataPaths paths() const { return ResolveDataPathsForFolder(folder_.path().string()); }
  fs::path data() const { return folder_.path() / "data"; }
  const LanguageEntry& row(int index) const { return catalogue_.rows[static_cast<size_t>(index)]; }

  TempFolder folder_;
  LanguageCatalogue catalogue_;
};

size_t DistinctByteValues(std::string_view bytes) {
  std::bitset<256> seen;
  for (char byte : bytes) seen.set(static_cast<uint8_t>(byte));
  return seen.count();
}

TEST(SampleDataTest, FirmwareImageIsMaskedFullSizeAndRecognisable) {
  TempFolder folder;
  ASSERT_EQ(RunGenerator(folder.path()), 0);
  const std::string stored = ReadFile(folder.path() / "data" / "vqvesk.bin");
  ASSERT_EQ(stored.size(), 0x400000u);
  // Stored masked: the header is not readable as it lies in the file.
  EXPECT_NE(stored.substr(0, 5), "R7700");

  std::string image = stored;
  for (char& byte : image) byte = static_cast<char>(static_cast<uint8_t>(byte) ^ ImageMask);
  EXPECT_EQ(image.substr(0, 23), "R7700B/C FIRMWARE 4.20\n");
  EXPECT_EQ(image.substr(0x3F0000, 23), "R7700 BOOT SECTOR 4.20\n");
  // The gap byte and the marker position stay erased, so the marker can be
  // programmed over them when the whole image has been sent.
  EXPECT_EQ(image.substr(0x3EFFFB, 5), std::string(5, '\xFF'));
  EXPECT_NE(image[0x3EFFFA], '\xFF');

  EXPECT_EQ(DistinctByteValues(std::string_view(image).substr(0x100, 0x3EFFFB - 0x100)), 256u);
  EXPECT_EQ(DistinctByteValues(std::string_view(image).substr(0x3F0100)), 256u);
  EXPECT_NE(image.substr(0x1000, 0x1000), image.substr(0x3F1000, 0x1000));
}

TEST_F(GeneratedCatalogueTest, ReadsWithTheCoreReaders) {
  ASSERT_NO_FATAL_FAILURE(Generate());

  struct Expected {
    std::string name;
    int32_t decimal_value;
    uint32_t hex_value1;
    uint32_t hex_value2;
  };
  const std::array<Expected, 5> expected{{{"English", 1, 0x409, 0x10},
                                          {"Deutsch", 2, 0x407, 0x1A},
                                          {"Francais", 3, 0x40C, 0x1B},
                                          {"Espanol", 4, 0x40A, 0x1C},
                                          {"Italiano", 5, 0x410, 0x1D}}};
  for (size_t index = 0; index < expected.size(); ++index) {
    const LanguageEntry& entry = catalogue_.rows[index];
    EXPECT_EQ(entry.name, expected[index].name);
    EXPECT_EQ(entry.decimal_value, expected[index].decimal_value) << entry.name;
    EXPECT_EQ(entry.hex_value1, expected[index].hex_value1) << entry.name;
    EXPECT_EQ(entry.hex_value2, expected[index].hex_value2) << entry.name;
    EXPECT_EQ(HasNoFont(entry), entry.name == "Deutsch") << entry.name;
  }
  EXPECT_EQ(row(1).font_file, "0");

  MemoryWindow window;
  LanguageChoices choices;
  ASSERT_EQ(LoadLanguageChoices(window, paths(), choices), 0);
  EXPECT_TRUE(window.boxes().empty());
  EXPECT_EQ(choices.rows[0].name, "None");
  for (size_t index = 0; index < expected.size(); ++index) {
    EXPECT_EQ(choices.rows[index + 1].name, expected[index].name);
  }
  EXPECT_EQ(choices.rows[6].name, "");
}

TEST(SampleDataTest, CatalogueTextUsesEveryWrittenForm) {
  TempFolder folder;
  ASSERT_EQ(RunGenerator(folder.path()), 0);
  std::istringstream text(ReadFile(folder.path() / "data" / "lang.cfg"));
  int comments = 0;
  int empty = 0;
  int with_prefix = 0;
  int without_prefix = 0;
  for (std::string line; std::getline(text, line);) {
    EXPECT_LE(line.size(), 99u) << line;
    if (line.empty()) {
      ++empty;
    } else if (line[0] == '#') {
      ++comments;
    } else {
      // The last field is hexadecimal; count how it is written.
      const std::string last = line.substr(line.rfind(',') + 1);
      const bool prefixed = last.find("0x") != std::string::npos;
      (prefixed ? with_prefix : without_prefix) += 1;
    }
  }
  EXPECT_GE(comments, 1);
  EXPECT_GE(empty, 1);
  EXPECT_GE(with_prefix, 1);
  EXPECT_GE(without_prefix, 1);
}

TEST_F(GeneratedCatalogueTest, EveryReferencedFileExistsWithItsHeader) {
  ASSERT_NO_FATAL_FAILURE(Generate());
  for (int index = 0; index < catalogue_.count; ++index) {
    const LanguageEntry& entry = row(index);
    const std::vector<std::string> files = FileNamesOf(entry);
    ASSERT_EQ(files.size(), entry.name == "Deutsch" ? 2u : 3u);
    const std::array<std::string, 3> headers{"R7700 LANGUAGE MODULE " + entry.name + " part 1\n",
                                             "R7700 LANGUAGE MODULE " + entry.name + " part 2\n",
                                             "R7700 FONT " + entry.name + "\n"};
    for (size_t file = 0; file < files.size(); ++file) {
      const std::string bytes = ReadFile(data() / files[file]);
      EXPECT_EQ(bytes.substr(0, headers[file].size()), headers[file]) << files[file];
      EXPECT_GE(bytes.size(), 10u * 1024u) << files[file];
      EXPECT_LT(bytes.size(), 100u * 1024u) << files[file];
    }
  }
  EXPECT_NE(ReadFile(data() / "eng_mod1.bin").substr(100, 200),
            ReadFile(data() / "deu_mod1.bin").substr(100, 200));
}

TEST_F(GeneratedCatalogueTest, AnyFourLanguagesFitOneImage) {
  ASSERT_NO_FATAL_FAILURE(Generate());
  std::array<uint64_t, 5> bytes{};
  for (size_t index = 0; index < bytes.size(); ++index) {
    for (const std::string& file : FileNamesOf(row(static_cast<int>(index)))) {
      bytes[index] += fs::file_size(data() / file);
    }
    EXPECT_GT(bytes[index], 64u * 1024u);
  }
  uint64_t all = 0;
  for (uint64_t language : bytes) all += language;
  // Leaving out any one of five gives every choice of four.
  for (uint64_t left_out : bytes) {
    EXPECT_LE(kDirectoryBytes + all - left_out, kMaxLanguageImageBytes);
  }
  EXPECT_LE(kDirectoryBytes + all, kMaxLanguageImageBytes);
}

TEST_F(GeneratedCatalogueTest, SmallLanguageFilesAreAFewHundredBytes) {
  ASSERT_NO_FATAL_FAILURE(Generate("--small"));
  for (int index = 0; index < catalogue_.count; ++index) {
    for (const std::string& file : FileNamesOf(row(index))) {
      const uint64_t size = fs::file_size(data() / file);
      EXPECT_GE(size, 100u) << file;
      EXPECT_LT(size, 1000u) << file;
    }
  }
  EXPECT_EQ(fs::file_size(data() / "vqvesk.bin"), 0x400000u);
}

void ExpectSameTree(const fs::path& a, const fs::path& b) {
  std::vector<fs::path> files;
  for (const auto& item : fs::recursive_directory_iterator(a)) {
    if (item.is_regular_file()) files.push_back(fs::relative(item.path(), a));
  }
  size_t count_b = 0;
  for (const auto& item : fs::recursive_directory_iterator(b)) {
    if (item.is_regular_file()) ++count_b;
  }
  EXPECT_EQ(files.size(), count_b);
  EXPECT_GE(files.size(), 16u);
  for (const fs::path& file : files) {
    EXPECT_TRUE(ReadFile(a / file) == ReadFile(b / file)) << file;
  }
}

TEST(SampleDataTest, EveryRunWritesTheSameBytes) {
  TempFolder first;
  TempFolder second;
  ASSERT_EQ(RunGenerator(first.path()), 0);
  ASSERT_EQ(RunGenerator(second.path()), 0);
  ExpectSameTree(first.path(), second.path());

  TempFolder small_first;
  TempFolder small_second;
  ASSERT_EQ(RunGenerator(small_first.path(), "--mode restricted --small"), 0);
  ASSERT_EQ(RunGenerator(small_second.path(), "--small --mode restricted"), 0);
  ExpectSameTree(small_first.path(), small_second.path());
}

TEST(SampleDataTest, FullModeWritesProductIni) {
  TempFolder folder;
  ASSERT_EQ(RunGenerator(folder.path(), "--mode full"), 0);
  EXPECT_FALSE(fs::exists(folder.path() / "veskotdr.ini"));
  const std::string text = ReadFile(folder.path() / "product.ini");
  const std::array<std::string, 4> languages{"English", "Deutsch", "None", "None"};
  for (size_t slot = 0; slot < kLanguageKeys.size(); ++slot) {
    EXPECT_EQ(Value(text, kLanguageKeys[slot]), languages[slot]);
  }
  for (const SettingsKey& key : kProductKeys) {
    EXPECT_EQ(Value(text, key), key.default_value) << key.key;
  }
}

TEST(SampleDataTest, RestrictedModeWritesOnlyTheLanguagesToVeskotdrIni) {
  TempFolder folder;
  ASSERT_EQ(RunGenerator(folder.path()), 0);
  ASSERT_TRUE(fs::exists(folder.path() / "product.ini"));
  // Over a Full-mode folder: product.ini would decide the mode, so it goes.
  ASSERT_EQ(RunGenerator(folder.path(), "--mode restricted"), 0);
  EXPECT_FALSE(fs::exists(folder.path() / "product.ini"));
  const std::string text = ReadFile(folder.path() / "veskotdr.ini");
  EXPECT_EQ(Value(text, kLanguageKeys[0]), "English");
  EXPECT_EQ(Value(text, kLanguageKeys[1]), "Deutsch");
  EXPECT_EQ(Value(text, kLanguageKeys[2]), "None");
  EXPECT_EQ(Value(text, kLanguageKeys[3]), "None");
  EXPECT_EQ(text.find("[ProductDefaults]"), std::string::npos);
  for (const SettingsKey& key : kProductKeys) EXPECT_EQ(Value(text, key), kMissing);
}

// Every key of the example stands with its default and under a comment.
void ExpectDocumentedKeys(const std::string& text, const SettingsKey& key) {
  EXPECT_EQ(Value(text, key), key.default_value) << key.key;
  const size_t at = text.find("\n" + std::string(key.key) + "=");
  ASSERT_NE(at, std::string::npos) << key.key;
  const size_t previous_line = text.rfind('\n', at - 1);
  ASSERT_NE(previous_line, std::string::npos) << key.key;
  EXPECT_EQ(text[previous_line + 1], ';') << key.key;
}

TEST(SampleDataTest, ExampleFilesAndDocsCoverEveryKey) {
  const fs::path source = R7700_SOURCE_DIR;
  const std::string product = ReadFile(source / "tools" / "examples" / "product.ini");
  const std::string restricted = ReadFile(source / "tools" / "examples" / "veskotdr.ini");
  const std::string docs = ReadFile(source / "docs" / "settings.md");
  ASSERT_FALSE(product.empty());
  ASSERT_FALSE(restricted.empty());
  for (const SettingsKey& key : kLanguageKeys) {
    ExpectDocumentedKeys(product, key);
    ExpectDocumentedKeys(restricted, key);
    EXPECT_NE(docs.find("`" + std::string(key.key) + "`"), std::string::npos) << key.key;
  }
  for (const SettingsKey& key : kProductKeys) {
    ExpectDocumentedKeys(product, key);
    EXPECT_EQ(Value(restricted, key), kMissing) << key.key;
    EXPECT_NE(docs.find("`" + std::string(key.key) + "`"), std::string::npos) << key.key;
  }
  EXPECT_NE(product.find(std::string(kAccessCode)), std::string::npos);
  EXPECT_NE(restricted.find(std::string(kAccessCode)), std::string::npos);
  EXPECT_NE(docs.find("`" + std::string(kAccessCode) + "`"), std::string::npos);
}

TEST(SampleDataTest, UsageErrorsWriteNothing) {
  TempFolder folder;
  const fs::path target = folder.path() / "out";
  EXPECT_EQ(RunGeneratorWith(""), 64);
  EXPECT_EQ(RunGenerator(target, "--mode partial"), 64);
  EXPECT_EQ(RunGenerator(target, "--mode"), 64);
  EXPECT_EQ(RunGenerator(target, "--large"), 64);
  EXPECT_EQ(RunGeneratorWith("'" + target.string() + "' '" + target.string() + "'"), 64);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(RunGeneratorWith("--help"), 0);
}

}  // namespace
}  // namespace r7700
