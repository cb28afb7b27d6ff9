#include "app/update_contents.h"

#include <algorithm>
#include <vector>

#include "download/firmware_download.h"
#include "download/flash_map.h"
#include "download/flash_programming.h"
#include "languages/language_download.h"
#include "link/checksum.h"

namespace r7700 {
namespace {

constexpr uint32_t kReadPieceBytes = 0x10000;

// Reads the whole file (at most limit bytes and one more, so that a longer
// file shows); false on a read error.
bool ReadAll(const std::string& path, uint64_t limit, std::vector<uint8_t>* bytes) {
  ImageFile file(path);
  if (!file.is_open()) return false;
  const long size = file.Size();
  bytes->resize(static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(size), limit + 1)));
  size_t done = 0;
  while (done < bytes->size()) {
    const uint32_t want =
        static_cast<uint32_t>(std::min<size_t>(kReadPieceBytes, bytes->size() - done));
    const uint32_t got = file.Read(bytes->data() + done, want);
    if (got == 0) return false;
    done += got;
  }
  return true;
}

uint32_t Checksum(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  uint32_t value = 0;
  for (size_t i = from; i < to; ++i) value = ChecksumStep(value, bytes[i]);
  return value;
}

}  // namespace

bool ReadFirmwareContents(const std::string& path, const RunOptions& options,
                          FirmwareContents* contents) {
  std::vector<uint8_t> image;
  if (!ReadAll(path, kFirmwareRegionBytes, &image)) return false;
  for (uint8_t& byte : image) byte ^= ImageMask;
  const FirmwareMap map = LayoutFor(options).firmware;
  *contents = FirmwareContents{};
  contents->file_bytes = image.size();
  contents->bytes_sent = static_cast<uint32_t>(std::min<size_t>(image.size(), map.send.bytes));
  contents->span_checksum = Checksum(image, 0, std::min<size_t>(image.size(), map.checksum.bytes));
  const uint32_t boot_sector = map.boot_sector.base - map.region.base;
  const uint32_t gap = map.gap.base - map.region.base;
  if (contents->bytes_sent > gap) contents->gap_byte = image[gap];
  contents->has_boot_sector = image.size() >= map.region.bytes;
  if (contents->has_boot_sector) {
    contents->boot_sector_checksum = Checksum(image, boot_sector, map.region.bytes);
  }
  return true;
}

bool ReadLanguageContents(const std::string& path, LanguageContents* contents) {
  std::vector<uint8_t> image;
  if (!ReadAll(path, kMaxLanguageImageBytes, &image) || image.size() > kMaxLanguageImageBytes) {
    return false;
  }
  *contents = LanguageContents{};
  contents->image_bytes = static_cast<uint32_t>(image.size());
  std::copy_n(image.begin(), std::min(image.size(), kDirectoryBytes), contents->directory.begin());
  // The download's checksum: the image, then erased flash up to the span.
  image.resize(std::max<size_t>(image.size(), kLanguageChecksumSpan), kErasedFlashByte);
  contents->area_checksum = Checksum(image, 0, kLanguageChecksumSpan);
  return true;
}

}  // namespace r7700
