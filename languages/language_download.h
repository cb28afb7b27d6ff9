// The language download: writes the language image into the instrument's
// language area behind a four-byte marker, verified by the monitor's
// checksum over the whole area.
#pragma once

#include <cstdint>

#include "download/sector_plan.h"
#include "languages/image_builder.h"
#include "link/run_context.h"
#include "link/serial_port.h"

namespace r7700 {

inline constexpr uint32_t kLanguageBlockBytes = 1024;
inline constexpr int kLanguageEraseTicks = 20;  // 20 x 800 ms
inline constexpr uint32_t kLanguageMarkerExtraPauseMs = 200;
inline constexpr uint32_t kLanguageChecksumWaitMs = 5200;
inline constexpr int kLanguageChecksumReads = 15;
// From this read on every non-empty line that is not the prompt is answered
// with a nudge instead of being taken for the value.
inline constexpr int kLanguageNudgeFromRead = 7;
// The prompt waits after the checksum go on counting the same reads while
// they stay below this.
inline constexpr int kLanguageSettleReads = 6;

// Runs the language download over the open port with the monitor in charge,
// from the image file at run.language_image_path. Returns 0 when the
// monitor confirmed the area's checksum and the marker was written, -1
// otherwise (also when no checksum came); every failure is logged.
int DownloadLanguageImage(RunContext& run, PortHandle port);

}  // namespace r7700
