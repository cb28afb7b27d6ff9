// What an update with given options would write, worked out from the files
// alone, in the terms the monitor can be asked about read-only: the
// checksums its "crc" gives over the firmware span, the boot sector and the
// language area, and the language directory. The plan shows them before a
// run, --verify compares them with the instrument.
#pragma once

#include <cstdint>
#include <string>

#include "languages/image_builder.h"
#include "link/run_context.h"

namespace r7700 {

struct FirmwareContents {
  uint64_t file_bytes = 0;
  uint32_t bytes_sent = 0;  // what the download sends with these options
  // Over the checksum span: the value the download confirms and the marker holds.
  uint32_t span_checksum = 0;
  // Over the last 0x10000 bytes of the region; only when the file reaches them.
  bool has_boot_sector = false;
  uint32_t boot_sector_checksum = 0;
  // The byte before the marker, outside every checksum: the image's when the
  // download sends it (with the boot sector or the RAM card), else erased.
  uint8_t gap_byte = 0xFF;
};

// False when the file cannot be opened or read.
bool ReadFirmwareContents(const std::string& path, const RunOptions& options,
                          FirmwareContents* contents);

struct LanguageContents {
  uint32_t image_bytes = 0;
  // Over the image and the erased rest of the area: what the marker holds.
  uint32_t area_checksum = 0;
  DirectoryBytes directory{};  // zeros where the image is shorter
};

// From a built language image; false when it cannot be read or is longer
// than the area allows.
bool ReadLanguageContents(const std::string& path, LanguageContents* contents);

}  // namespace r7700
