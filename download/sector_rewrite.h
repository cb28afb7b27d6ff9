// Writing only what changed: both downloads, asked to skip what the
// instrument already holds, first have the monitor checksum their span
// sector by sector, and read the marker and the few bytes beside it. A span that
// agrees everywhere is left alone; otherwise only the differing sectors and
// the marker's sector are erased and written again, and the download goes on
// with its usual checksum confirmation and marker.
#pragma once

#include <cstdint>
#include <optional>

#include "download/sector_plan.h"
#include "link/run_context.h"
#include "link/serial_port.h"

namespace r7700 {

// Where a download keeps what in its span, as offsets from the span's base.
struct SpanLayout {
  uint32_t marker_offset = 0;    // the four marker bytes
  uint32_t checksum_offset = 0;  // first byte of the span checksum
  uint32_t checksum_length = 0;  // as "crc" names it: one byte more than it covers
  uint32_t data_begin = 0;       // the bytes a complete download sends
  uint32_t data_end = 0;
};

// One download's span, what a complete download leaves there and the plan.
struct SectorRewrite {
  SpanContent content;
  SpanLayout layout;
  uint32_t checksum = 0;  // of the span checksum's bytes: what the marker carries
  SectorPlan plan;
  FrameRegion region = FrameRegion::kFirmware;  // where its frames go
};

// Fills in the span checksum of rewrite's content (a complete download's,
// before its marker) and programs the marker over its marker bytes, as "pf"
// would (flash cells keep the AND).
void SealContent(SectorRewrite& rewrite);

// Has the monitor checksum each of the candidate sectors (all when
// candidates is empty): true for each whose value differs from the
// content's or did not come.
std::vector<bool> SurveySectors(RunContext& run, PortHandle port, const SectorRewrite& rewrite,
                                const std::vector<bool>& candidates);

// Seals rewrite's content, has the monitor survey the span
// and logs the plan: "%s unchanged, not downloaded!" when nothing differs,
// else "%s: writing %u of %u sectors again". Nothing when every sector
// differs: a complete download follows then, as without the option.
std::optional<SectorRewrite> PlanRewrite(RunContext& run, PortHandle port, SectorRewrite rewrite,
                                         const char* what);

// Erases each run of planned sectors with one "erase"; each run waits its
// share of full_erase_ticks (the ticks the whole span's erase waits), at
// least one tick. False (logged) when the monitor refused an erase.
bool EraseSectors(RunContext& run, PortHandle port, const SectorRewrite& rewrite,
                  int full_erase_ticks);

enum class AckRule {
  kAnyByte,   // the firmware: any byte acknowledges a block
  kBlockXor,  // the languages: the XOR of the block's data
};

// Sends the content of the planned sectors (the data bytes a complete
// download sends there) in LoadBlocks of at most block_bytes that never
// cross a sector boundary. False after "Board does not repsond!" or
// "Transmission error!"; *sent_bytes counts what was acknowledged. With
// damaged, every acknowledgement is compared with the block's XOR whatever
// the rule: a block that differs marks its sector there and the send goes on.
bool SendSectors(RunContext& run, PortHandle port, const SectorRewrite& rewrite,
                 uint32_t block_bytes, AckRule rule, uint32_t* sent_bytes,
                 std::vector<bool>* damaged = nullptr);

// Marks in damaged (one flag per sector of a span) every sector that the
// length bytes at offset from the span's base touch.
void MarkSectors(std::vector<bool>& damaged, uint32_t offset, uint32_t length);

}  // namespace r7700
