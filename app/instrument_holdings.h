// What an instrument holds, read with the monitor's read-only commands
// ("dm", "crc") and nothing else, and how it compares with what an update
// with the same options would write (update_contents.h). The monitor must
// be in charge of the line; the RAM-card choice of run.options picks the
// copy that is read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/update_contents.h"
#include "download/flash_programming.h"
#include "languages/image_builder.h"
#include "link/run_context.h"
#include "link/serial_port.h"

namespace r7700 {

// An image marker and the monitor's checksum over what it covers.
struct MarkerReading {
  std::optional<MarkerBytes> bytes;  // empty when the dump failed
  std::optional<uint16_t> computed;  // empty when no checksum came
  bool HasMagic() const;
  uint16_t Stored() const;  // the checksum the marker holds
  // "J", "S" and the checksum the monitor computes: the image counts as loaded.
  bool Valid() const;
  bool Complete() const { return bytes && computed; }
};

struct FirmwareHoldings {
  MarkerReading marker;
  std::optional<uint16_t> boot_sector_checksum;  // asked for only when wanted
  std::optional<uint8_t> gap_byte;               // with the boot sector only
  // Every query was answered (the boot sector's only when asked for).
  bool Complete(bool with_boot_sector) const;
};

struct LanguageHoldings {
  MarkerReading marker;
  std::optional<DirectoryBytes> directory;  // empty when the dump failed
  bool Complete() const;
};

void ReadFirmwareHoldings(RunContext& run, PortHandle port, bool with_boot_sector,
                          FirmwareHoldings* holdings);
void ReadLanguageHoldings(RunContext& run, PortHandle port, LanguageHoldings* holdings);

// The names in a language directory, in slot order; slots not in use
// (zero or erased) are left out.
std::vector<std::string> DirectoryLanguages(const DirectoryBytes& directory);

// One thing compared: as the instrument holds it and as the update would write it.
struct Comparison {
  std::string item;  // "firmware marker", "firmware checksum", ...
  std::string instrument;
  std::string update;
  bool same = false;
};

std::vector<Comparison> CompareFirmware(const FirmwareHoldings& holdings,
                                        const FirmwareContents& contents, bool with_boot_sector);
std::vector<Comparison> CompareLanguages(const LanguageHoldings& holdings,
                                         const LanguageContents& contents);

// "4A 53 4F FD", or "unread".
std::string MarkerText(const std::optional<MarkerBytes>& bytes);
// "%04X", or "none".
std::string ChecksumText(const std::optional<uint16_t>& value);

}  // namespace r7700
