// The language area as --skip-unchanged sees it: what a complete download
// of the language image leaves there, and which of its sectors the
// instrument already holds.
#pragma once

#include <cstdint>
#include <optional>

#include "download/flash_map.h"
#include "download/sector_rewrite.h"

namespace r7700 {

// Reads the whole language image file, surveys the area the map names and
// logs the plan. Nothing (a complete download follows, as without the option)
// when the file cannot be read or does not fit the area, or when every
// sector differs.
std::optional<SectorRewrite> PlanLanguageRewrite(RunContext& run, PortHandle port,
                                                 const LanguageMap& map);

}  // namespace r7700
