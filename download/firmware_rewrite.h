// The firmware region as --skip-unchanged and repair see it: what a complete
// download of the image leaves there, and which of its sectors the
// instrument already holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "download/flash_map.h"
#include "download/sector_rewrite.h"

namespace r7700 {

// Reads the image file once and unmasks it: every later step sends, sums
// and compares these bytes, so a file rewritten meanwhile cannot mix into
// the transfer. False when the file cannot be opened or read.
bool ReadFirmwareImage(const std::string& path, std::vector<uint8_t>* image);

// The erase span as a complete download of image leaves it before the
// marker: the image's bytes in the map's send span, erased flash elsewhere;
// with the checksum the marker will carry.
SectorRewrite FirmwareContent(const FirmwareMap& map, const std::vector<uint8_t>& image);

// Surveys the region for content and logs the plan. Nothing (a complete
// download follows, as without the option) when every sector differs.
std::optional<SectorRewrite> PlanFirmwareRewrite(RunContext& run, PortHandle port,
                                                 SectorRewrite content);

}  // namespace r7700
