#include "download/firmware_rewrite.h"

#include <algorithm>
#include <utility>

#include "download/firmware_download.h"
#include "download/flash_programming.h"

namespace r7700 {

std::optional<SectorRewrite> PlanFirmwareRewrite(RunContext& run, PortHandle port,
                                                 const FirmwareMap& map) {
  ImageFile image(run.firmware_image_path);
  const long file_bytes = image.Size();
  if (!image.is_open() || file_bytes <= 0 || file_bytes > long{kFirmwareRegionBytes}) return {};
  SectorRewrite rewrite;
  rewrite.content.base = map.region.base;
  std::vector<uint8_t>& bytes = rewrite.content.bytes;
  bytes.assign(kFirmwareRegionBytes, kErasedFlashByte);
  const auto image_bytes = static_cast<uint32_t>(file_bytes);
  if (image.Read(bytes.data(), image_bytes) != image_bytes) return {};
  const uint32_t sent = std::min(image_bytes, map.send.bytes);
  std::fill(bytes.begin() + sent, bytes.end(), kErasedFlashByte);
  bytes.resize(map.erase.bytes);
  for (uint32_t i = 0; i < sent; ++i) bytes[i] ^= ImageMask;
  rewrite.layout = {.marker_offset = map.marker - map.region.base,
                    .checksum_offset = map.checksum.base - map.region.base,
                    .checksum_length = map.checksum.bytes + 1,
                    .data_begin = 0,
                    .data_end = sent};
  return PlanRewrite(run, port, std::move(rewrite), "Firmware");
}

}  // namespace r7700
