// The boot sectors of both firmware copies: what the instrument holds from the
// factory, and which bytes were programmed since the last erase. A sector
// that a write began but did not cover does not boot.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/sim_memory.h"

namespace r7700::sim {

inline constexpr std::array<uint32_t, 2> kBootSectors{
    kFirmwareBase + kBootSectorOffset, kFirmwareBase + kBootSectorOffset - kRamCardOffset};

// Puts the factory boot sector into both copies.
void InstallFactoryBootSectors(SimMemory& memory);

class BootSectorWrites {
 public:
  // Any flash erase; a boot sector inside the range starts afresh.
  void Erased(uint32_t address, uint32_t length);
  // Any flash programming, by the downloader or "pf".
  void Programmed(uint32_t address);
  // Some but not all bytes of that boot sector were programmed since it was
  // last erased (or since power-up).
  bool Partial(uint32_t boot_sector) const;

 private:
  struct Copy {
    std::vector<bool> written = std::vector<bool>(kSectorBytes);
    uint32_t count = 0;
  };
  std::array<Copy, kBootSectors.size()> copies_;
};

}  // namespace r7700::sim
