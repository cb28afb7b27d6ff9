#include "languages/image_builder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "link/status_log.h"

namespace r7700 {
namespace {

constexpr size_t kSlotFirstModuleOffset = 20;
constexpr size_t kSlotSecondModuleOffset = 24;
constexpr size_t kSlotFontAddressOffset = 28;
constexpr size_t kSlotFontLengthOffset = 32;
constexpr size_t kSlotDecimalOffset = 36;
constexpr size_t kSlotHex1Offset = 38;
constexpr size_t kSlotHex2Offset = 40;

void PutLe16(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value);
  out[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Image offsets beyond 32 bits only occur in images that are refused anyway.
uint32_t InstrumentAddress(uint64_t image_offset) {
  return static_cast<uint32_t>(kLanguageAreaBase + kLanguageAreaHeaderBytes + image_offset);
}

void CloseImage(LanguageImageBuilder& builder) {
  if (builder.file == nullptr) return;
  std::fclose(builder.file);
  builder.file = nullptr;
}

int FailWrite(LanguageImageBuilder& builder, const DataPaths& paths, RunObserver& observer) {
  LogLine(observer, "Cannot write temporary file %s!\n", paths.temp_image_path.c_str());
  CloseImage(builder);
  return -1;
}

enum class CopyResult { kOk, kOpenFailed, kReadFailed, kWriteFailed };

// Appends the whole file at path to the image through the copy buffer;
// *copied receives the number of bytes appended. It stops once the image is
// longer than an instrument can take: that image is refused anyway.
CopyResult AppendFile(LanguageImageBuilder& builder, const std::string& file_name,
                      const std::string& path, uint64_t* copied) {
  *copied = 0;
  // An empty field would name the data folder itself.
  std::FILE* source = file_name.empty() ? nullptr : std::fopen(path.c_str(), "rb");
  if (source == nullptr) return CopyResult::kOpenFailed;
  CopyResult result = CopyResult::kOk;
  while (builder.offset <= kMaxLanguageImageBytes) {
    const size_t got = std::fread(builder.buffer.data(), 1, builder.buffer.size(), source);
    if (got > 0 && std::fwrite(builder.buffer.data(), 1, got, builder.file) != got) {
      result = CopyResult::kWriteFailed;
      break;
    }
    *copied += got;
    builder.offset += got;
    if (got < builder.buffer.size()) {
      if (std::ferror(source)) result = CopyResult::kReadFailed;
      break;
    }
  }
  std::fclose(source);
  return result;
}

// Copies one of the language's files; logs and closes the image on failure.
bool CopyLanguageFile(LanguageImageBuilder& builder, const DataPaths& paths, RunObserver& observer,
                      const std::string& file_name, const char* open_failure_format,
                      uint64_t* copied) {
  const std::string path = DataFilePath(paths, file_name);
  switch (AppendFile(builder, file_name, path, copied)) {
    case CopyResult::kOk:
      return true;
    case CopyResult::kOpenFailed:
      LogLine(observer, open_failure_format, path.c_str());
      break;
    case CopyResult::kReadFailed:
      LogLine(observer, "Cannot read %s!\n", path.c_str());
      break;
    case CopyResult::kWriteFailed:
      LogLine(observer, "Cannot write temporary file %s!\n", paths.temp_image_path.c_str());
      break;
  }
  CloseImage(builder);
  return false;
}

// Checks the row's files before any is copied: each must be a regular file
// (or missing, which the copy reports as it always has), and together they
// must fit behind what the image already holds. *fits tells the latter.
bool CheckRowFiles(const LanguageImageBuilder& builder, const DataPaths& paths,
                   RunObserver& observer, const LanguageEntry& row, bool* fits) {
  uint64_t total = builder.offset;
  for (const std::string* name : FilesOf(row)) {
    if (name->empty()) continue;
    const std::string path = DataFilePath(paths, *name);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) continue;
    if (!std::filesystem::is_regular_file(status)) {
      LogLine(observer, "%s is not a regular file!\n", path.c_str());
      return false;
    }
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (!error) total += size;
  }
  *fits = total <= kMaxLanguageImageBytes;
  return true;
}

}  // namespace

const LanguageEntry* FindCatalogueRow(const LanguageCatalogue& catalogue, std::string_view name) {
  const int count = std::clamp(catalogue.count, 0, kLanguageRows);
  for (int row = 0; row < count; ++row) {
    if (catalogue.rows[static_cast<size_t>(row)].name == name) {
      return &catalogue.rows[static_cast<size_t>(row)];
    }
  }
  return nullptr;
}

std::vector<const std::string*> FilesOf(const LanguageEntry& row) {
  std::vector<const std::string*> files{&row.first_module_file, &row.second_module_file};
  if (!HasNoFont(row)) files.push_back(&row.font_file);
  return files;
}

LanguageImageBuilder::~LanguageImageBuilder() {
  CloseImage(*this);
}

DirectoryBytes EncodeLanguageDirectory(const LanguageDirectory& directory) {
  DirectoryBytes bytes{};
  for (size_t i = 0; i < directory.size(); ++i) {
    const LanguageSlot& slot = directory[i];
    uint8_t* out = bytes.data() + i * kSlotBytes;
    const size_t name_length = std::min(slot.name.size(), kSlotNameBytes - 1);
    std::copy_n(slot.name.begin(), name_length, out);
    PutLe32(out + kSlotFirstModuleOffset, slot.first_module_address);
    PutLe32(out + kSlotSecondModuleOffset, slot.second_module_address);
    PutLe32(out + kSlotFontAddressOffset, slot.font_address);
    PutLe32(out + kSlotFontLengthOffset, slot.font_length);
    PutLe16(out + kSlotDecimalOffset, slot.decimal_value);
    PutLe16(out + kSlotHex1Offset, slot.hex_value1);
    PutLe16(out + kSlotHex2Offset, slot.hex_value2);
  }
  return bytes;
}

int BeginLanguageImage(LanguageImageBuilder& builder, LanguageCatalogue& catalogue,
                       const DataPaths& paths, RunObserver& observer) {
  CloseImage(builder);
  DiscardLanguageImage(builder, paths);
  LoadLanguageCatalogue(paths, catalogue);
  builder.file = CreateFileExclusive(paths.temp_image_path);
  if (builder.file == nullptr) {
    LogLine(observer, "Cannot create temporary file %s!\n", paths.temp_image_path.c_str());
    return -1;
  }
  builder.created = true;
  builder.too_large = false;
  builder.directory = LanguageDirectory{};
  builder.slot_count = 0;
  const DirectoryBytes bytes = EncodeLanguageDirectory(builder.directory);
  if (std::fwrite(bytes.data(), 1, bytes.size(), builder.file) != bytes.size()) {
    return FailWrite(builder, paths, observer);
  }
  builder.offset = bytes.size();
  return 0;
}

int AddLanguageToImage(LanguageImageBuilder& builder, const LanguageCatalogue& catalogue,
                       const DataPaths& paths, RunObserver& observer, std::string_view name) {
  if (builder.file == nullptr) return FailWrite(builder, paths, observer);
  const LanguageEntry* row = FindCatalogueRow(catalogue, name);
  if (row == nullptr) {
    LogLine(observer, "Language %s not found!\n", std::string(name).c_str());
    CloseImage(builder);
    return -1;
  }
  for (size_t i = 0; i < builder.slot_count; ++i) {
    if (builder.directory[i].name == name) {
      LogLine(observer, "Skip language %s!\n", std::string(name).c_str());
      return 0;
    }
  }
  if (builder.slot_count >= kDirectorySlots) {
    CloseImage(builder);
    return -1;
  }
  bool fits = true;
  if (!CheckRowFiles(builder, paths, observer, *row, &fits)) {
    CloseImage(builder);
    return -1;
  }
  if (!fits) {
    builder.too_large = true;
    return 0;
  }
  LanguageSlot& slot = builder.directory[builder.slot_count];
  slot = LanguageSlot{};
  slot.name = row->name;
  slot.decimal_value = static_cast<uint16_t>(static_cast<uint32_t>(row->decimal_value));
  slot.hex_value1 = static_cast<uint16_t>(row->hex_value1);
  slot.hex_value2 = static_cast<uint16_t>(row->hex_value2);

  uint64_t copied = 0;
  slot.first_module_address = InstrumentAddress(builder.offset);
  if (!CopyLanguageFile(builder, paths, observer, row->first_module_file, "Cannot open %s!\n",
                        &copied)) {
    return -1;
  }
  slot.second_module_address = InstrumentAddress(builder.offset);
  if (!CopyLanguageFile(builder, paths, observer, row->second_module_file, "Cannot open %s!\n",
                        &copied)) {
    return -1;
  }
  if (!HasNoFont(*row)) {
    slot.font_address = InstrumentAddress(builder.offset);
    if (!CopyLanguageFile(builder, paths, observer, row->font_file, "Cannot open font %s!\n",
                          &copied)) {
      return -1;
    }
    slot.font_length = static_cast<uint32_t>(copied);
  }
  ++builder.slot_count;
  return 0;
}

int FinishLanguageImage(LanguageImageBuilder& builder, const DataPaths& paths,
                        RunObserver& observer) {
  if (builder.file == nullptr) return -1;
  const uint64_t length = builder.offset;
  const DirectoryBytes bytes = EncodeLanguageDirectory(builder.directory);
  bool written = std::fseek(builder.file, 0, SEEK_SET) == 0 &&
                 std::fwrite(bytes.data(), 1, bytes.size(), builder.file) == bytes.size();
  written = std::fclose(builder.file) == 0 && written;
  builder.file = nullptr;
  if (!written) {
    LogLine(observer, "Cannot write temporary file %s!\n", paths.temp_image_path.c_str());
    DiscardLanguageImage(builder, paths);
    return -1;
  }
  if (builder.too_large || length > kMaxLanguageImageBytes) {
    DiscardLanguageImage(builder, paths);
    return -1;
  }
  return 0;
}

void DiscardLanguageImage(LanguageImageBuilder& builder, const DataPaths& paths) {
  CloseImage(builder);
  if (!builder.created) return;
  std::remove(paths.temp_image_path.c_str());
  builder.created = false;
}

}  // namespace r7700
