// The language area as --skip-unchanged sees it: what a complete download
// of the language image leaves there, and which of its sectors the
// instrument already holds.
#pragma once

#include <cstdint>
#include <optional>

#include "download/flash_map.h"
#include "download/sector_rewrite.h"

namespace r7700 {

// What a complete download of the language image file leaves in the area
// the map names, its marker still erased, with the checksum the marker will
// carry. Nothing when the file cannot be read or does not fit the area.
std::optional<SectorRewrite> LanguageContent(const RunContext& run, const LanguageMap& map);

// Reads the whole language image file, surveys the area the map names and
// logs the plan. Nothing (a complete download follows, as without the option)
// when the file cannot be read or does not fit the area, or when every
// sector differs.
std::optional<SectorRewrite> PlanLanguageRewrite(RunContext& run, PortHandle port,
                                                 const LanguageMap& map);

}  // namespace r7700
