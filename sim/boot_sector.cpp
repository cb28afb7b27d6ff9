#include "sim/boot_sector.h"

#include <string_view>

namespace r7700::sim {
namespace {

constexpr std::string_view kFactoryBanner = "R7700 BOOT SECTOR (factory)\n";

}  // namespace

void InstallFactoryBootSectors(SimMemory& memory) {
  for (uint32_t base : kBootSectors) {
    for (uint32_t i = 0; i < kSectorBytes; ++i) {
      memory.Store(base + i, i < kFactoryBanner.size() ? static_cast<uint8_t>(kFactoryBanner[i])
                                                       : static_cast<uint8_t>(i * 13 + 7));
    }
  }
}

void BootSectorWrites::Erased(uint32_t address, uint32_t length) {
  for (size_t i = 0; i < kBootSectors.size(); ++i) {
    const uint32_t base = kBootSectors[i];
    if (base >= address && base - address < length) copies_[i] = Copy{};
  }
}

void BootSectorWrites::Programmed(uint32_t address) {
  for (size_t i = 0; i < kBootSectors.size(); ++i) {
    const uint32_t offset = address - kBootSectors[i];
    if (address < kBootSectors[i] || offset >= kSectorBytes) continue;
    Copy& copy = copies_[i];
    if (!copy.written[offset]) {
      copy.written[offset] = true;
      ++copy.count;
    }
  }
}

bool BootSectorWrites::Partial(uint32_t boot_sector) const {
  for (size_t i = 0; i < kBootSectors.size(); ++i) {
    if (kBootSectors[i] == boot_sector) {
      return copies_[i].count > 0 && copies_[i].count < kSectorBytes;
    }
  }
  return false;
}

}  // namespace r7700::sim
