#include "download/firmware_rewrite.h"

#include <algorithm>
#include <utility>

#include "download/firmware_download.h"
#include "download/flash_programming.h"
#include "link/checksum.h"

namespace r7700 {

bool ReadFirmwareImage(const std::string& path, std::vector<uint8_t>* image) {
  ImageFile file(path);
  const long file_bytes = file.Size();
  if (!file.is_open() || file_bytes < 0) return false;
  image->resize(static_cast<size_t>(file_bytes));
  const auto bytes = static_cast<uint32_t>(file_bytes);
  if (file.Read(image->data(), bytes) != bytes) return false;
  for (uint8_t& byte : *image) byte ^= ImageMask;
  return true;
}

SectorRewrite FirmwareContent(const FirmwareMap& map, const std::vector<uint8_t>& image) {
  SectorRewrite rewrite;
  rewrite.content.base = map.region.base;
  std::vector<uint8_t>& bytes = rewrite.content.bytes;
  bytes.assign(map.erase.bytes, kErasedFlashByte);
  const auto sent = static_cast<uint32_t>(std::min<size_t>(image.size(), map.send.bytes));
  std::copy_n(image.begin(), sent, bytes.begin());
  rewrite.layout = {.marker_offset = map.marker - map.region.base,
                    .checksum_offset = map.checksum.base - map.region.base,
                    .checksum_length = map.checksum.bytes + 1,
                    .data_begin = 0,
                    .data_end = sent};
  rewrite.checksum =
      ChecksumBlock(bytes.data() + rewrite.layout.checksum_offset, rewrite.layout.checksum_length);
  return rewrite;
}

std::optional<SectorRewrite> PlanFirmwareRewrite(RunContext& run, PortHandle port,
                                                 SectorRewrite content) {
  return PlanRewrite(run, port, std::move(content), "Firmware");
}

}  // namespace r7700
