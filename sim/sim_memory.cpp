#include "sim/sim_memory.h"

#include <algorithm>

#include "sim/monitor_checksum.h"

namespace r7700::sim {
namespace {

bool Within(uint32_t address, uint32_t length, uint32_t base, uint32_t bytes) {
  return address >= base && length <= bytes && address - base <= bytes - length;
}

}  // namespace

bool InRam(uint32_t address, uint32_t length) {
  return Within(address, length, kRamBase, kRamBytes);
}

bool InFlash(uint32_t address, uint32_t length) {
  return Within(address, length, kFlashBase, kFlashBytes) ||
         Within(address, length, kFlashBase - kRamCardOffset, kFlashBytes);
}

bool InFirmwareRegion(uint32_t address) {
  return Within(address, 1, kFirmwareBase, kFirmwareBytes) ||
         Within(address, 1, kFirmwareBase - kRamCardOffset, kFirmwareBytes);
}

uint8_t SimMemory::Peek(uint32_t address) const {
  const auto it = pages_.find(address / kPageBytes);
  return it == pages_.end() ? 0xFF : (*it->second)[address % kPageBytes];
}

SimMemory::Page& SimMemory::PageFor(uint32_t address) {
  std::unique_ptr<Page>& page = pages_[address / kPageBytes];
  if (!page) {
    page = std::make_unique<Page>();
    page->fill(0xFF);
  }
  return *page;
}

void SimMemory::Store(uint32_t address, uint8_t value) {
  PageFor(address)[address % kPageBytes] = value;
}

void SimMemory::Program(uint32_t address, uint8_t value) {
  PageFor(address)[address % kPageBytes] &= value;
}

void SimMemory::Erase(uint32_t address, uint32_t length) {
  uint64_t at = address;
  const uint64_t end = uint64_t{address} + length;
  while (at < end) {
    const uint32_t key = static_cast<uint32_t>(at / kPageBytes);
    const uint64_t page_end = std::min<uint64_t>(end, (uint64_t{key} + 1) * kPageBytes);
    const auto it = pages_.find(key);
    if (it != pages_.end()) {
      if (at % kPageBytes == 0 && page_end - at == kPageBytes) {
        pages_.erase(it);  // a whole erased page reads 0xFF without storage
      } else {
        std::fill(
            it->second->begin() + static_cast<ptrdiff_t>(at % kPageBytes),
            it->second->begin() + static_cast<ptrdiff_t>(page_end - uint64_t{key} * kPageBytes),
            uint8_t{0xFF});
      }
    }
    at = page_end;
  }
}

uint32_t SimMemory::Checksum(uint32_t address, uint32_t count) const {
  uint16_t value = 0;
  Visit(address, count, [&](const uint8_t* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i) value = MonitorChecksumStep(value, bytes[i]);
  });
  return value;
}

void SimMemory::Visit(uint32_t address, uint32_t length,
                      const std::function<void(const uint8_t*, size_t)>& visit) const {
  static const Page kErasedPage = [] {
    Page page;
    page.fill(0xFF);
    return page;
  }();
  uint64_t at = address;
  const uint64_t end = uint64_t{address} + length;
  while (at < end) {
    const auto key = static_cast<uint32_t>(at / kPageBytes);
    const size_t offset = at % kPageBytes;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(end - at, kPageBytes - offset));
    const auto it = pages_.find(key);
    visit((it == pages_.end() ? kErasedPage : *it->second).data() + offset, n);
    at += n;
  }
}

}  // namespace r7700::sim
