#include "download/flash_map.h"

namespace r7700 {

MarkerBytes ImageMarker(uint32_t checksum) {
  return {kMarkerMagicJ, kMarkerMagicS, static_cast<uint8_t>(checksum & 0xFF),
          static_cast<uint8_t>((checksum >> 8) & 0xFF)};
}

FlashLayout LayoutFor(const RunOptions& options) {
  const uint32_t shift = options.boot_from_ram_card ? RamCardOffset : 0;
  FlashLayout layout;
  FirmwareMap& firmware = layout.firmware;
  const uint32_t base = FlashBase - shift;
  firmware.region = {base, kFirmwareRegionBytes};
  firmware.keep_boot_sector = !options.boot_from_ram_card && !options.with_boot_sector;
  firmware.erase = {base, firmware.keep_boot_sector ? kBootSectorOffset : kFirmwareRegionBytes};
  firmware.send = {base,
                   firmware.keep_boot_sector ? kFirmwareDataLimitOffset : kFirmwareRegionBytes};
  firmware.checksum = {base, kFirmwareDataLimitOffset};
  firmware.gap = {base + kFirmwareDataLimitOffset,
                  kFirmwareMarkerOffset - kFirmwareDataLimitOffset};
  firmware.marker = base + kFirmwareMarkerOffset;
  firmware.boot_sector = {base + kBootSectorOffset, kBootSectorBytes};
  firmware.user_flash = {kUserFlashBase - shift, kUserFlashBytes};

  LanguageMap& languages = layout.languages;
  const uint32_t area = kLanguageAreaBase - shift;
  languages.area = {area, kLanguageAreaBytes};
  languages.marker = area;
  languages.image = {area + kLanguageAreaHeaderBytes, kMaxLanguageImageBytes};
  languages.checksum = {area + kLanguageAreaHeaderBytes, kLanguageChecksumSpan};
  return layout;
}

FlashRegion RegionAt(uint32_t address) {
  for (const bool ram_card : {false, true}) {
    const FlashLayout layout = LayoutFor({.boot_from_ram_card = ram_card});
    if (layout.firmware.region.Contains(address)) return FlashRegion::kFirmware;
    if (layout.firmware.user_flash.Contains(address)) return FlashRegion::kUserFlash;
    if (layout.languages.area.Contains(address)) return FlashRegion::kLanguages;
  }
  return FlashRegion::kNone;
}

}  // namespace r7700
