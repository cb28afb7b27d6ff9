#include "languages/language_rewrite.h"

#include <utility>

#include "download/flash_programming.h"
#include "languages/language_download.h"
#include "link/checksum.h"

namespace r7700 {

std::optional<SectorRewrite> LanguageContent(const RunContext& run, const LanguageMap& map) {
  ImageFile image(run.language_image_path);
  const long file_bytes = image.Size();
  if (!image.is_open() || file_bytes <= 0 || static_cast<uint64_t>(file_bytes) > map.image.bytes) {
    return {};
  }
  const auto image_bytes = static_cast<uint32_t>(file_bytes);
  SectorRewrite rewrite;
  rewrite.content.base = map.area.base;
  rewrite.region = FrameRegion::kLanguages;
  rewrite.content.bytes.assign(map.area.bytes, kErasedFlashByte);
  const uint32_t image_offset = map.image.base - map.area.base;
  if (image.Read(rewrite.content.bytes.data() + image_offset, image_bytes) != image_bytes)
    return {};
  rewrite.layout = {.marker_offset = map.marker - map.area.base,
                    .checksum_offset = map.checksum.base - map.area.base,
                    .checksum_length = map.checksum.bytes + 1,
                    .data_begin = image_offset,
                    .data_end = image_offset + image_bytes};
  rewrite.checksum = ChecksumBlock(rewrite.content.bytes.data() + rewrite.layout.checksum_offset,
                                   rewrite.layout.checksum_length);
  return rewrite;
}

std::optional<SectorRewrite> PlanLanguageRewrite(RunContext& run, PortHandle port,
                                                 const LanguageMap& map) {
  std::optional<SectorRewrite> content = LanguageContent(run, map);
  if (!content) return {};
  return PlanRewrite(run, port, std::move(*content), "Languages");
}

}  // namespace r7700
