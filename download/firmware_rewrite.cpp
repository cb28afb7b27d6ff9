#include "download/firmware_rewrite.h"

#include <algorithm>
#include <utility>

#include "download/firmware_download.h"
#include "download/flash_programming.h"

namespace r7700 {

std::optional<SectorRewrite> PlanFirmwareRewrite(RunContext& run, PortHandle port, uint32_t base,
                                                 bool keep_boot_sector) {
  ImageFile image(run.firmware_image_path);
  const long file_bytes = image.Size();
  if (!image.is_open() || file_bytes <= 0 || file_bytes > long{kFirmwareRegionBytes}) return {};
  SectorRewrite rewrite;
  const uint32_t span_bytes = keep_boot_sector ? kBootSectorOffset : kFirmwareRegionBytes;
  rewrite.content.base = base;
  std::vector<uint8_t>& bytes = rewrite.content.bytes;
  bytes.assign(kFirmwareRegionBytes, kErasedFlashByte);
  const auto image_bytes = static_cast<uint32_t>(file_bytes);
  if (image.Read(bytes.data(), image_bytes) != image_bytes) return {};
  // Without the boot sector nothing from the data limit on is sent.
  const uint32_t sent =
      keep_boot_sector ? std::min(image_bytes, kFirmwareDataLimitOffset) : image_bytes;
  std::fill(bytes.begin() + sent, bytes.end(), kErasedFlashByte);
  bytes.resize(span_bytes);
  for (uint32_t i = 0; i < sent; ++i) bytes[i] ^= ImageMask;
  rewrite.layout = {.marker_offset = kFirmwareMarkerOffset,
                    .checksum_offset = 0,
                    .checksum_length = kFirmwareChecksumLength,
                    .data_begin = 0,
                    .data_end = sent};
  return PlanRewrite(run, port, std::move(rewrite), "Firmware");
}

}  // namespace r7700
