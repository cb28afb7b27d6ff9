// The firmware download: replaces the instrument's firmware with the masked
// image file, verified by the monitor's checksum of the programmed region
// and marked valid by the four-byte image marker behind it.
#pragma once

#include <cstdint>
#include <string>

#include "download/flash_map.h"
#include "link/run_context.h"
#include "link/serial_port.h"

namespace r7700 {

// Every byte of the image file is stored XORed with this mask.
inline constexpr uint8_t ImageMask = 0xA7;
inline constexpr uint32_t kFirmwareBlockBytes = 10240;
inline constexpr int kFirmwareEraseTicks = 60;  // 60 x 800 ms per erase

// The monitor needs long for the checksum of 4 MB: the first wait is 24 x
// 400 ms, and every repeated query waits 5 units longer than the one before.
inline constexpr int kChecksumWaitFactor = 24;
inline constexpr int kChecksumWaitFactorStep = 5;
inline constexpr uint32_t kChecksumWaitUnitMs = 400;
inline constexpr int kFirmwareChecksumReads = 30;
// Past this many reads, an empty line at every other read (11, 13, ...) is
// answered with a nudge.
inline constexpr int kChecksumTriggerAfterReads = 10;
inline constexpr int kFirmwareSettleWaits = 6;
// The monitor sums the 64 KiB boot sector in well under this.
inline constexpr uint32_t kBootSectorChecksumWaitMs = 400;

// Checked before the port is opened: the image must be a regular file of
// exactly kFirmwareRegionBytes, as anything else would be found out only
// after the firmware was erased. Returns an empty text when it is, else a
// text for the error box that names the file and what is wrong.
std::string FirmwareImageProblem(const std::string& path);

// Runs the firmware download over the open port with the monitor in charge:
// clears the old marker, erases the region (and the user flash on request),
// streams the unmasked image, confirms the region checksum and writes the
// marker. Returns 0 when the checksum was confirmed and the marker written,
// -1 otherwise; every failure is logged.
int DownloadFirmwareImage(RunContext& run, PortHandle port);

}  // namespace r7700
