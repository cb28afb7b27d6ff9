// The language catalogue's two readers over any lang.cfg: both must end,
// never overflow their fixed tables, and keep their limits (at most 18
// languages, text fields of at most 19 characters).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "fuzz/check.h"
#include "languages/catalogue.h"
#include "link/data_paths.h"
#include "link/error_report.h"
#include "link/memory_window.h"

namespace r7700::fuzz {
namespace {

namespace fs = std::filesystem;

// A folder of this process whose data/lang.cfg every input replaces; gone
// when the fuzzer ends.
class CatalogueFolder {
 public:
  CatalogueFolder()
      : folder_(fs::temp_directory_path() /
                ("r7700-fuzz-catalogue-" + std::to_string(std::random_device{}()))) {
    fs::create_directories(folder_ / "data");
    paths_ = ResolveDataPathsForFolder(folder_.string());
  }
  ~CatalogueFolder() {
    std::error_code error;
    fs::remove_all(folder_, error);
  }
  const DataPaths& paths() const { return paths_; }

 private:
  fs::path folder_;
  DataPaths paths_;
};

bool FieldsFit(const LanguageEntry& entry) {
  return entry.name.size() <= kLanguageNameChars &&
         entry.first_module_file.size() <= kLanguageNameChars &&
         entry.second_module_file.size() <= kLanguageNameChars &&
         entry.font_file.size() <= kLanguageNameChars;
}

void CheckChoices(int result, const LanguageChoices& choices) {
  Check(result == 0 || result == kMsgCatalogueSyntax);
  if (result != 0) return;
  Check(choices.rows[0].name == kNoLanguageName);
  int row = 1;
  while (row < kLanguageRows && !choices.rows[static_cast<size_t>(row)].name.empty()) {
    const LanguageEntry& entry = choices.rows[static_cast<size_t>(row)];
    Check(FieldsFit(entry));
    // The lists turn a name back into its row: the first row of that name,
    // which for a language the catalogue calls "None" is the "None" row.
    const int found = FindLanguage(choices, entry.name);
    Check(found >= 0 && found <= row);
    Check(found >= 1 || entry.name == kNoLanguageName);
    ++row;
  }
  // The end marker is there, inside the table.
  Check(row <= kMaxCatalogueDataLines + 1);
}

void CheckCatalogue(int result, const LanguageCatalogue& catalogue) {
  Check(result == 0 || result == -1);
  Check(catalogue.count >= 0 && catalogue.count <= kMaxCatalogueDataLines);
  for (int row = 0; row < catalogue.count; ++row) {
    Check(FieldsFit(catalogue.rows[static_cast<size_t>(row)]));
  }
}

}  // namespace
}  // namespace r7700::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace r7700;
  static const fuzz::CatalogueFolder folder;
  std::ofstream(folder.paths().catalogue_path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  MemoryWindow window;
  LanguageChoices choices;
  fuzz::CheckChoices(LoadLanguageChoices(window, folder.paths(), choices), choices);
  LanguageCatalogue catalogue;
  fuzz::CheckCatalogue(LoadLanguageCatalogue(folder.paths(), catalogue), catalogue);
  return 0;
}
