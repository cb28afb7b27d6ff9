#include "sim/flash_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <vector>

#include "sim/boot_sector.h"
#include "sim/sim_memory.h"

namespace r7700::sim {
namespace {

// Only sectors that hold anything but erased bytes are stored, each as its
// address (4 bytes, big-endian) and its 64 KiB.
constexpr std::array<uint32_t, 2> kDevices{kFlashBase, kFlashBase - kRamCardOffset};
constexpr uint8_t kErased = 0xFF;

bool InADevice(uint32_t address) {
  return std::any_of(kDevices.begin(), kDevices.end(), [&](uint32_t base) {
    return address >= base && address - base < kFlashBytes;
  });
}

}  // namespace

bool LoadFlashFile(const std::string& path, Instrument& instrument) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return true;
  // The file holds every sector that is not erased: a boot sector missing
  // from it was erased, not the factory's.
  for (uint32_t boot_sector : kBootSectors) {
    instrument.Load(boot_sector, std::vector<uint8_t>(kSectorBytes, kErased));
  }
  std::array<uint8_t, 4> header{};
  std::vector<uint8_t> sector(kSectorBytes);
  while (in.read(reinterpret_cast<char*>(header.data()), header.size())) {
    const uint32_t address = (uint32_t{header[0]} << 24) | (uint32_t{header[1]} << 16) |
                             (uint32_t{header[2]} << 8) | header[3];
    if (address % kSectorBytes != 0 || !InADevice(address)) return false;
    if (!in.read(reinterpret_cast<char*>(sector.data()), kSectorBytes)) return false;
    instrument.Load(address, sector);
  }
  return in.eof() && in.gcount() == 0;
}

bool SaveFlashFile(const std::string& path, const Instrument& instrument) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const uint32_t base : kDevices) {
    for (uint32_t address = base; address - base < kFlashBytes; address += kSectorBytes) {
      const std::vector<uint8_t> sector = instrument.Read(address, kSectorBytes);
      if (std::all_of(sector.begin(), sector.end(), [](uint8_t b) { return b == kErased; })) {
        continue;
      }
      const std::array<uint8_t, 4> header{
          static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
          static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
      out.write(reinterpret_cast<const char*>(header.data()), header.size());
      out.write(reinterpret_cast<const char*>(sector.data()), kSectorBytes);
    }
  }
  return static_cast<bool>(out);
}

}  // namespace r7700::sim
