#include "languages/language_rewrite.h"

#include <utility>

#include "download/flash_programming.h"
#include "languages/language_download.h"

namespace r7700 {

std::optional<SectorRewrite> PlanLanguageRewrite(RunContext& run, PortHandle port, uint32_t base) {
  ImageFile image(run.language_image_path);
  const long file_bytes = image.Size();
  if (!image.is_open() || file_bytes <= 0 || file_bytes > long{kMaxLanguageImageBytes}) return {};
  const auto image_bytes = static_cast<uint32_t>(file_bytes);
  SectorRewrite rewrite;
  rewrite.content.base = base;
  rewrite.content.bytes.assign(kLanguageAreaBytes, kErasedFlashByte);
  uint8_t* image_start = rewrite.content.bytes.data() + kLanguageAreaHeaderBytes;
  if (image.Read(image_start, image_bytes) != image_bytes) return {};
  rewrite.layout = {.marker_offset = 0,
                    .checksum_offset = kLanguageAreaHeaderBytes,
                    .checksum_length = kLanguageChecksumLength,
                    .data_begin = kLanguageAreaHeaderBytes,
                    .data_end = kLanguageAreaHeaderBytes + image_bytes};
  return PlanRewrite(run, port, std::move(rewrite), "Languages");
}

}  // namespace r7700
