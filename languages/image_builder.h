// The language image: a 220-byte directory of five slots followed by the
// module and font files of each chosen language, built in a temporary file
// before the instrument is touched and later written behind the 4-byte
// header of the instrument's language area.
//
// Image layout (all numbers little-endian):
//   offset 0    five LanguageSlot records of 44 bytes; unused slots zero
//   offset 220  per language in slot order: first module file, second module
//               file, font file if any; byte for byte, nothing in between.
// LanguageSlot:
//   0  name, 20 bytes, zero-terminated and zero-filled
//   20 first module address    24 second module address
//   28 font address (0: none)  32 font length (0: none)
//   36 decimal value, low 16 bits   38 hex value 1, low 16 bits
//   40 hex value 2, low 16 bits     42 reserved, zero
// A file copied at image offset p lies at instrument address
// kLanguageAreaBase + 4 + p, also when the area is written at its RAM-card
// address.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "download/flash_map.h"
#include "languages/catalogue.h"
#include "link/data_paths.h"
#include "link/run_observer.h"

namespace r7700 {

inline constexpr size_t kDirectorySlots = 5;
inline constexpr size_t kSlotBytes = 44;
inline constexpr size_t kSlotNameBytes = 20;
inline constexpr size_t kDirectoryBytes = kDirectorySlots * kSlotBytes;
inline constexpr size_t kImageCopyBufferBytes = 1024;

struct LanguageSlot {
  std::string name;  // at most 19 characters
  uint32_t first_module_address = 0;
  uint32_t second_module_address = 0;
  uint32_t font_address = 0;
  uint32_t font_length = 0;
  uint16_t decimal_value = 0;
  uint16_t hex_value1 = 0;
  uint16_t hex_value2 = 0;
};

using LanguageDirectory = std::array<LanguageSlot, kDirectorySlots>;
using DirectoryBytes = std::array<uint8_t, kDirectoryBytes>;

// The directory as it stands in the image, byte by byte.
DirectoryBytes EncodeLanguageDirectory(const LanguageDirectory& directory);

// State of one build. The destructor closes a file still open.
struct LanguageImageBuilder {
  LanguageImageBuilder() = default;
  LanguageImageBuilder(const LanguageImageBuilder&) = delete;
  LanguageImageBuilder& operator=(const LanguageImageBuilder&) = delete;
  ~LanguageImageBuilder();

  std::FILE* file = nullptr;
  // True from the exclusive creation of the image file until this builder
  // deletes it: only a file it created is ever deleted.
  bool created = false;
  // Set when a language's files would not fit: they are not copied, and
  // the image is refused as too large when it is finished.
  bool too_large = false;
  uint64_t offset = 0;  // image length so far, directory included
  size_t slot_count = 0;
  LanguageDirectory directory{};
  std::array<uint8_t, kImageCopyBufferBytes> buffer{};
};

// The catalogue's row of that name; null when it has none.
const LanguageEntry* FindCatalogueRow(const LanguageCatalogue& catalogue, std::string_view name);

// The names of a catalogue row's files in image order: both modules, then
// the font when it has one. A name may be empty.
std::vector<const std::string*> FilesOf(const LanguageEntry& row);

// Deletes the image an earlier build of this builder created, re-reads the
// catalogue (its result is not examined: a catalogue not read shows as "not
// found" later) and creates the image file exclusively, never through a
// symlink, with a zeroed directory. A file it did not create is never
// deleted. Returns 0, or -1 after logging
// "Cannot create temporary file %s!\n" when the file cannot be created (also
// when any file or link holds the path) or
// "Cannot write temporary file %s!\n" when the directory cannot be written.
int BeginLanguageImage(LanguageImageBuilder& builder, LanguageCatalogue& catalogue,
                       const DataPaths& paths, RunObserver& observer);

// Appends the language's files and fills the next slot. Before anything is
// copied every file must be a regular file ("%s is not a regular file!\n"
// with the full path, -1: a FIFO would block the build) and their sizes
// must fit the image; when they do not, nothing is copied and the image is
// marked too large (0, FinishLanguageImage refuses it). A copy never runs
// past the image limit, whatever a file grows to. Returns 0 when added
// or skipped as a repeat ("Skip language %s!\n"), -1 when the name is not
// among the catalogue's rows ("Language %s not found!\n"), all slots are in
// use (no log line), a file cannot be opened ("Cannot open %s!\n",
// "Cannot open font %s!\n" with the full path), a file cannot be read
// ("Cannot read %s!\n" with the full path) or the image cannot be written
// ("Cannot write temporary file %s!\n"). A failed slot is not counted.
int AddLanguageToImage(LanguageImageBuilder& builder, const LanguageCatalogue& catalogue,
                       const DataPaths& paths, RunObserver& observer, std::string_view name);

// Writes the filled directory over the first 220 bytes and closes the file.
// Returns 0; -1 with the file deleted when the image is longer than
// kMaxLanguageImageBytes (no log line) or when the directory cannot be
// written or the file not closed ("Cannot write temporary file %s!\n"); -1
// when no image is open.
int FinishLanguageImage(LanguageImageBuilder& builder, const DataPaths& paths,
                        RunObserver& observer);

// Closes and deletes the image file when this builder created it; a file
// at the path that it did not create is left alone.
void DiscardLanguageImage(LanguageImageBuilder& builder, const DataPaths& paths);

// Platform: creates path for writing in binary mode, failing when anything
// (a file or a symlink, dangling or not) already exists there. Null on
// failure.
std::FILE* CreateFileExclusive(const std::string& path);

}  // namespace r7700
