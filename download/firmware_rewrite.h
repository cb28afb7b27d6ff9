// The firmware region as --skip-unchanged sees it: what a complete download
// of the image file leaves there, and which of its sectors the instrument
// already holds.
#pragma once

#include <cstdint>
#include <optional>

#include "download/flash_map.h"
#include "download/sector_rewrite.h"

namespace r7700 {

// Reads and unmasks the whole image file, surveys the region the map names
// and logs the plan; only the map's send span holds image bytes. Nothing (a
// complete download follows, as without the option) when the file cannot
// be read or does not fit the region, or when every sector differs.
std::optional<SectorRewrite> PlanFirmwareRewrite(RunContext& run, PortHandle port,
                                                 const FirmwareMap& map);

}  // namespace r7700
