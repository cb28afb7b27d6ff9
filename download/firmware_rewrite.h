// The firmware region as --skip-unchanged sees it: what a complete download
// of the image file leaves there, and which of its sectors the instrument
// already holds.
#pragma once

#include <cstdint>
#include <optional>

#include "download/sector_rewrite.h"

namespace r7700 {

// Reads and unmasks the whole image file, surveys the region at base and
// logs the plan. keep_boot_sector: neither the RAM card nor the boot sector
// is chosen, so the download ends below the boot sector. Nothing (a
// complete download follows, as without the option) when the file cannot
// be read or does not fit the region, or when every sector differs.
std::optional<SectorRewrite> PlanFirmwareRewrite(RunContext& run, PortHandle port, uint32_t base,
                                                 bool keep_boot_sector);

}  // namespace r7700
