#include "app/instrument_holdings.h"

#include "dialogue/monitor_reads.h"
#include "download/firmware_download.h"
#include "download/flash_programming.h"
#include "languages/language_download.h"
#include "link/text_format.h"

namespace r7700 {
namespace {

constexpr uint32_t kFirmwareSpanWaitMs = kChecksumWaitFactor * kChecksumWaitUnitMs;
constexpr uint8_t kErasedNameByte = 0xFF;

void ReadMarker(RunContext& run, PortHandle port, uint32_t marker_address, const FlashSpan& span,
                uint32_t wait_ms, MarkerReading* reading) {
  MarkerBytes bytes{};
  if (ReadMonitorMemory(run, port, marker_address, bytes.data(), kMarkerBytes)) {
    reading->bytes = bytes;
  }
  reading->computed = QueryMonitorChecksum(run, port, span.base, span.bytes, wait_ms);
}

Comparison CompareMarker(std::string item, const MarkerReading& reading, uint32_t checksum) {
  const MarkerBytes expected = ImageMarker(checksum);
  return {std::move(item), MarkerText(reading.bytes), MarkerText(expected),
          reading.bytes == expected};
}

Comparison CompareChecksum(std::string item, const std::optional<uint16_t>& held,
                           uint32_t checksum) {
  return {std::move(item), ChecksumText(held), ChecksumText(static_cast<uint16_t>(checksum)),
          held == static_cast<uint16_t>(checksum)};
}

}  // namespace

bool MarkerReading::HasMagic() const {
  return bytes && (*bytes)[0] == kMarkerMagicJ && (*bytes)[1] == kMarkerMagicS;
}

uint16_t MarkerReading::Stored() const {
  return bytes ? static_cast<uint16_t>((*bytes)[2] | ((*bytes)[3] << 8)) : 0;
}

bool MarkerReading::Valid() const {
  return HasMagic() && computed == Stored();
}

bool FirmwareHoldings::Complete(bool with_boot_sector) const {
  return marker.Complete() && (!with_boot_sector || (boot_sector_checksum && gap_byte));
}

bool LanguageHoldings::Complete() const {
  return marker.Complete() && directory;
}

void ReadFirmwareHoldings(RunContext& run, PortHandle port, bool with_boot_sector,
                          FirmwareHoldings* holdings) {
  const FirmwareMap map = LayoutFor(run.options).firmware;
  ReadMarker(run, port, map.marker, map.checksum, kFirmwareSpanWaitMs, &holdings->marker);
  if (with_boot_sector) {
    holdings->boot_sector_checksum = QueryMonitorChecksum(
        run, port, map.boot_sector.base, map.boot_sector.bytes, kBootSectorChecksumWaitMs);
    uint8_t gap = 0;
    if (ReadMonitorMemory(run, port, map.gap.base, &gap, map.gap.bytes)) holdings->gap_byte = gap;
  }
}

void ReadLanguageHoldings(RunContext& run, PortHandle port, LanguageHoldings* holdings) {
  const LanguageMap map = LayoutFor(run.options).languages;
  ReadMarker(run, port, map.marker, map.checksum, kLanguageChecksumWaitMs, &holdings->marker);
  DirectoryBytes directory{};
  if (ReadMonitorMemory(run, port, map.image.base, directory.data(), kDirectoryBytes)) {
    holdings->directory = directory;
  }
}

std::vector<std::string> DirectoryLanguages(const DirectoryBytes& directory) {
  std::vector<std::string> names;
  for (size_t slot = 0; slot < kDirectorySlots; ++slot) {
    const uint8_t* name = directory.data() + slot * kSlotBytes;
    if (name[0] == 0 || name[0] == kErasedNameByte) continue;
    size_t length = 0;
    while (length < kSlotNameBytes - 1 && name[length] != 0) ++length;
    names.emplace_back(reinterpret_cast<const char*>(name), length);
  }
  return names;
}

std::vector<Comparison> CompareFirmware(const FirmwareHoldings& holdings,
                                        const FirmwareContents& contents, bool with_boot_sector) {
  std::vector<Comparison> comparisons{
      CompareMarker("firmware marker", holdings.marker, contents.span_checksum),
      CompareChecksum("firmware checksum", holdings.marker.computed, contents.span_checksum)};
  if (with_boot_sector) {
    Comparison boot = CompareChecksum("boot sector checksum", holdings.boot_sector_checksum,
                                      contents.boot_sector_checksum);
    // A file that stops short of the boot sector has none to compare with.
    if (!contents.has_boot_sector) boot = {boot.item, boot.instrument, "none in the file", false};
    comparisons.push_back(boot);
    // Sent with the boot sector, it lies between the checksum and the marker.
    const std::string held =
        holdings.gap_byte ? Format("%02X", static_cast<unsigned>(*holdings.gap_byte)) : "unread";
    comparisons.push_back({"firmware gap byte", held,
                           Format("%02X", static_cast<unsigned>(contents.gap_byte)),
                           holdings.gap_byte == contents.gap_byte});
  }
  return comparisons;
}

std::vector<Comparison> CompareLanguages(const LanguageHoldings& holdings,
                                         const LanguageContents& contents) {
  const std::vector<std::string> expected = DirectoryLanguages(contents.directory);
  Comparison directory{"language directory", "unread", NamesText(expected), false};
  if (holdings.directory) {
    directory.instrument = NamesText(DirectoryLanguages(*holdings.directory));
    // Byte for byte: the same names at other addresses are another image.
    directory.same = *holdings.directory == contents.directory;
    if (!directory.same && directory.instrument == directory.update) {
      directory.instrument += " (other addresses or values)";
    }
  }
  return {CompareMarker("language marker", holdings.marker, contents.area_checksum),
          CompareChecksum("language checksum", holdings.marker.computed, contents.area_checksum),
          directory};
}

std::string MarkerText(const std::optional<MarkerBytes>& bytes) {
  if (!bytes) return "unread";
  return Format("%02X %02X %02X %02X", (*bytes)[0], (*bytes)[1], (*bytes)[2], (*bytes)[3]);
}

std::string ChecksumText(const std::optional<uint16_t>& value) {
  return value ? Format("%04X", static_cast<unsigned>(*value)) : std::string("none");
}

}  // namespace r7700
