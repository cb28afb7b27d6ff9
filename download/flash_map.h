// The instrument's flash as one run sees it: where the firmware region, its
// boot sector, the user flash and the language area lie with the run's
// options, and which part of each a download erases, sends and has the
// monitor checksum. Every stage and front end reads the map from here, so
// that what is planned, sent, checked and shown is the same span. Pure
// arithmetic; no dialogue.
#pragma once

#include <array>
#include <cstdint>

#include "link/run_context.h"

namespace r7700 {

// Flash-boot addresses; with the RAM card every address is RamCardOffset lower.
inline constexpr uint32_t FlashBase = 0x3C00000;
inline constexpr uint32_t RamCardOffset = 0x1800000;
inline constexpr uint32_t kFirmwareRegionBytes = 0x400000;
inline constexpr uint32_t kBootSectorBytes = 0x10000;  // the top of the region
inline constexpr uint32_t kBootSectorOffset = kFirmwareRegionBytes - kBootSectorBytes;
// Only the bytes below this offset are checksummed (and, without the RAM
// card and the boot sector, sent); one byte later the marker follows.
inline constexpr uint32_t kFirmwareDataLimitOffset = 0x3EFFFB;
inline constexpr uint32_t kFirmwareMarkerOffset = 0x3EFFFC;
// The monitor's "crc" covers length - 1 bytes: this names the data span.
inline constexpr uint32_t kFirmwareChecksumLength = kFirmwareDataLimitOffset + 1;
inline constexpr uint32_t kUserFlashBase = 0x3800000;
inline constexpr uint32_t kUserFlashBytes = 0x300000;

inline constexpr uint32_t kLanguageAreaBase = 0x3B00000;
inline constexpr uint32_t kLanguageAreaBytes = 0x100000;
inline constexpr uint32_t kLanguageAreaHeaderBytes = 4;  // the marker
// The image lies behind the area's header, so it may fill the rest only.
inline constexpr uint32_t kMaxLanguageImageBytes = kLanguageAreaBytes - kLanguageAreaHeaderBytes;
// The checksum covers the area from the image on, less its last byte: the
// image, then 0xFF for the erased flash it does not reach.
inline constexpr uint32_t kLanguageChecksumSpan = kMaxLanguageImageBytes - 1;
inline constexpr uint32_t kLanguageChecksumLength = kLanguageChecksumSpan + 1;

// ImageMarker: "J", "S", checksum low byte, checksum high byte.
inline constexpr uint8_t kMarkerMagicJ = 0x4A;
inline constexpr uint8_t kMarkerMagicS = 0x53;
inline constexpr uint32_t kMarkerBytes = 4;
using MarkerBytes = std::array<uint8_t, kMarkerBytes>;

// The marker that declares an image with this checksum loaded.
MarkerBytes ImageMarker(uint32_t checksum);

// A run of flash addresses.
struct FlashSpan {
  uint32_t base = 0;
  uint32_t bytes = 0;
  uint32_t End() const { return base + bytes; }
  uint32_t Last() const { return base + bytes - 1; }
  bool Contains(uint32_t address) const { return address >= base && address - base < bytes; }
};

struct FirmwareMap {
  FlashSpan region;  // the whole firmware region
  // Neither the RAM card nor the boot sector: the boot sector stays as it
  // is, so neither it nor the byte before the marker is erased or sent.
  bool keep_boot_sector = true;
  FlashSpan erase;        // what a complete download erases
  FlashSpan send;         // where the image's bytes go
  FlashSpan checksum;     // what the monitor's span checksum covers
  FlashSpan gap;          // sent with the boot sector, outside the span checksum
  uint32_t marker = 0;    // the marker's first byte
  FlashSpan boot_sector;  // sent only without keep_boot_sector
  FlashSpan user_flash;   // erased on request only
};

struct LanguageMap {
  FlashSpan area;       // erased whole
  uint32_t marker = 0;  // the area's header
  FlashSpan image;      // where the image may lie
  FlashSpan checksum;   // what the monitor's area checksum covers
};

struct FlashLayout {
  FirmwareMap firmware;
  LanguageMap languages;
};

FlashLayout LayoutFor(const RunOptions& options);

// What a downloader frame at address belongs to, at either boot choice's
// addresses.
enum class FlashRegion { kNone, kFirmware, kUserFlash, kLanguages };
FlashRegion RegionAt(uint32_t address);

}  // namespace r7700
