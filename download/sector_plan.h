// Which 64 KiB flash sectors of a download's span must be written again, and
// how the data of those sectors goes out in LoadBlocks. Pure arithmetic over
// what a complete download leaves in the span and what the monitor reports
// is there; no dialogue.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace r7700 {

// The monitor erases whole sectors of this size ("erase A L 10000").
inline constexpr uint32_t kFlashSectorBytes = 0x10000;
inline constexpr uint8_t kErasedFlashByte = 0xFF;

// A span of whole sectors as a complete download leaves it: every byte the
// download programs, its marker included, and 0xFF where it leaves the
// erased flash alone.
struct SpanContent {
  uint32_t base = 0;           // address of the first sector
  std::vector<uint8_t> bytes;  // a whole number of sectors
  uint32_t Sectors() const { return static_cast<uint32_t>(bytes.size() / kFlashSectorBytes); }
};

// The transfer checksum of each sector of the span, in order.
std::vector<uint16_t> SectorChecksums(const SpanContent& content);

// What the monitor reported: the checksum of each sector (nothing where no
// value came), whether the marker reads as the expected one and whether the
// bytes that lie in the span checksum's first and last sector but outside
// it and the marker read as expected.
struct SpanSurvey {
  std::vector<std::optional<uint16_t>> sector_checksums;
  bool marker_valid = false;
  bool edge_bytes_equal = false;
};

struct SectorPlan {
  // Nothing to write: the marker, every sector and the span all agree.
  bool unchanged = false;
  std::vector<bool> rewrite;  // per sector
  uint32_t Count() const;
};

// Every sector whose checksum differs or did not come is written again, and
// the sector that holds the marker always is (programming only clears bits,
// so the new marker needs an erased cell). The plan is unchanged only when
// the marker is valid, the edge bytes equal and no sector differs: then the
// span checksum is equal too (the sums are linear; see docs/skip-and-fast.md).
SectorPlan PlanSectors(const std::vector<uint16_t>& expected, const SpanSurvey& survey,
                       uint32_t marker_sector);

// A run of neighbouring sectors to erase with one command.
struct SectorRun {
  uint32_t first = 0;
  uint32_t count = 0;
};
std::vector<SectorRun> SectorRuns(const std::vector<bool>& rewrite);

// One LoadBlock: where its data lies in the span, from the span's base.
struct Frame {
  uint32_t offset = 0;
  uint32_t length = 0;
};

// The frames that write the data bytes [data_begin, data_end) of the span
// that fall in rewritten sectors, in address order: at most block_bytes
// each, and never across a sector boundary, so a frame never reaches into a
// sector that was not erased.
std::vector<Frame> PlanFrames(const std::vector<bool>& rewrite, uint32_t data_begin,
                              uint32_t data_end, uint32_t block_bytes);

}  // namespace r7700
