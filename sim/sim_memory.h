// The instrument's memory: loadable RAM and two flash devices (the built-in
// flash and the RAM card), kept sparse in 64 KiB pages allocated on the
// first write. Everything never written reads 0xFF.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace r7700::sim {

inline constexpr uint32_t kRamBase = 0x0800000;  // RAM the downloader may load
inline constexpr uint32_t kRamBytes = 0x0800000;
inline constexpr uint32_t kFlashBase = 0x3800000;  // built-in flash device
inline constexpr uint32_t kFlashBytes = 0x0800000;
inline constexpr uint32_t kRamCardOffset = 0x1800000;  // RAM-card copies lie this much lower
inline constexpr uint32_t kUserFlashBase = 0x3800000;
inline constexpr uint32_t kUserFlashBytes = 0x300000;
inline constexpr uint32_t kLanguageBase = 0x3B00000;
inline constexpr uint32_t kLanguageBytes = 0x100000;
inline constexpr uint32_t kFirmwareBase = 0x3C00000;
inline constexpr uint32_t kFirmwareBytes = 0x400000;
inline constexpr uint32_t kSectorBytes = 0x10000;        // erase granularity of both devices
inline constexpr uint32_t kBootSectorOffset = 0x3F0000;  // in the firmware region, one sector

// True when [address, address + length) lies in one memory of that kind.
bool InRam(uint32_t address, uint32_t length);
bool InFlash(uint32_t address, uint32_t length);
// True when the address belongs to either copy of the firmware region.
bool InFirmwareRegion(uint32_t address);

class SimMemory {
 public:
  uint8_t Peek(uint32_t address) const;
  // A plain store: RAM, and test set-up of any memory.
  void Store(uint32_t address, uint8_t value);
  // Flash programming can only clear bits: the cell keeps the AND.
  void Program(uint32_t address, uint8_t value);
  // Sets the range to 0xFF.
  void Erase(uint32_t address, uint32_t length);
  // The monitor's checksum folded over count bytes from address.
  uint32_t Checksum(uint32_t address, uint32_t count) const;
  // Hands the range to `visit` in consecutive pieces, in address order.
  void Visit(uint32_t address, uint32_t length,
             const std::function<void(const uint8_t*, size_t)>& visit) const;

 private:
  static constexpr uint32_t kPageBytes = 0x10000;
  using Page = std::array<uint8_t, kPageBytes>;
  Page& PageFor(uint32_t address);

  std::map<uint32_t, std::unique_ptr<Page>> pages_;
};

}  // namespace r7700::sim
