// The flash-programming sequence that the firmware and the language download
// share: clear the marker, erase, start the downloader, stream LoadBlocks,
// end the transfer, ask for the checksum, settle, write the marker. Only the
// steps that are the same in both live here; each download keeps its own
// block sizes, acknowledgement rule, checksum reply loop and texts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "dialogue/command_link.h"
#include "download/flash_map.h"
#include "link/run_context.h"
#include "link/serial_port.h"

namespace r7700 {

inline constexpr uint32_t kEraseBlockBytes = 0x10000;
inline constexpr uint32_t kEraseTickMs = 800;  // one progress step of an erase wait
inline constexpr uint32_t kMarkerClearPauseMs = kLoaderStartPauseMs;

inline constexpr int kDownloaderTries = 5;
// With repair: starts of the downloader at most, the monitor called back
// between them, before a download fails for want of its banner.
inline constexpr int kDownloaderStarts = 3;
// After the monitor answered "flashload" with its prompt: the short pause,
// then this one, before the next read.
inline constexpr uint32_t kFlashloadRetryPauseMs = 400;

// One acknowledgement read, then up to this many more, each after the short
// pause: 17 reads in all.
inline constexpr int kAckRetries = 16;

// The read counters of both checksum reply loops restart whenever the
// monitor shows its prompt instead of the value and the query is repeated,
// so only this bound ends a monitor that never answers with a checksum.
// Ten repeats already wait well over two minutes for the firmware region.
inline constexpr int kMaxChecksumRequeries = 10;

// How a checksum reply loop ended.
enum class ChecksumReply {
  kConfirmed,  // the monitor's value equals the own checksum
  kWrong,      // the monitor answered a different value
  kMissing,    // no value came within the reads or re-queries allowed
};

// A flash image file opened for raw reading; closed on every way out.
class ImageFile {
 public:
  explicit ImageFile(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
  ~ImageFile() { Close(); }
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  bool is_open() const { return file_ != nullptr; }
  // Size in bytes (0 when it cannot be told); the read position is kept.
  long Size();
  // Reads up to capacity bytes; 0 at the end of the file or after an error.
  uint32_t Read(uint8_t* buffer, uint32_t capacity);
  void Close();

 private:
  std::FILE* file_;
};

// How many of n bytes starting at position lie below limit: the part of a
// block that the monitor's checksum covers.
inline uint32_t BytesBelow(uint32_t position, uint32_t n, uint32_t limit) {
  if (position >= limit) return 0;
  return limit - position < n ? limit - position : n;
}

// Sends "pf <address> 0" for the marker's first two bytes, each followed by
// the marker-clearing pause and a prompt wait. extra_first_pause_ms goes
// between the first "pf" and its pause (the language area has one). False
// (logged) when the monitor refused a write or its prompt did not come.
bool ClearImageMarker(RunContext& run, PortHandle port, uint32_t marker_address,
                      uint32_t extra_first_pause_ms);

// Sends "erase <base> <length> 10000" and makes the short pause.
void SendErase(RunContext& run, PortHandle port, uint32_t base, uint32_t length);

// Waits an erase out by the clock in ticks of 800 ms, one progress step
// each, then waits for the monitor's prompt. False (logged) when the
// monitor refused the erase or its prompt did not come.
bool WaitOutErase(RunContext& run, PortHandle port, int ticks);

// Sends "flashload" and makes up to five reads for the downloader's banner;
// a prompt in its place repeats the command ("redo cmd fload >%s<"), any
// other line is logged as "unex: %s". True once the banner came; else false
// with the last line read in last. With repair a banner that does not come
// is awaited again after ReturnToMonitor, kDownloaderStarts times in all.
bool StartDownloader(RunContext& run, PortHandle port, ReplyLine& last);

// Sends one LoadBlock (header, then the data in one write) and makes the
// short pause.
void SendBlock(RunContext& run, PortHandle port, const uint8_t* data, uint32_t length,
               uint32_t address);

// Reads the block's one-byte acknowledgement: one read, then up to 16 more
// each after the short pause. False when none came. Reports the frame with
// how it was answered.
bool AwaitBlockAck(RunContext& run, PortHandle port, FrameEvent frame, uint8_t* ack);

// Sends the EndBlock (reported as the region's end frame), makes the short
// pause and waits for the prompt.
void EndTransfer(RunContext& run, PortHandle port, FrameRegion region);

// Formats "crc <address> <length>" for span into command (the length one
// more than the span, as "crc" covers its length less one), sends it and
// makes the short pause.
void SendRegionChecksumQuery(RunContext& run, PortHandle port, const FlashSpan& span,
                             std::string& command);

// Judges a reply line that may carry the monitor's checksum: a line of
// exactly four characters holding a hexadecimal number is the value, and is
// logged as "Checksum ok!" when it equals checksum, else with wrong_text.
// Any other line is no value (kMissing), and the caller reads on.
ChecksumReply JudgeChecksumLine(RunContext& run, const ReplyLine& line, uint32_t checksum,
                                const char* wrong_text);

// Logs "Writing magic & checksum!" and programs the four marker bytes, each
// "pf" followed by a prompt wait. With log_missing_prompts a missing prompt
// is logged as "pf1".."pf4"; the sequence goes on either way. Then reads
// the four bytes back with "dm". True only when the monitor answered every
// "pf" without refusing one and the bytes read back are the marker: a byte
// it did not confirm may not be programmed, and an image without its marker
// must not count as loaded. Every failure is logged.
bool WriteImageMarker(RunContext& run, PortHandle port, uint32_t marker_address, uint32_t checksum,
                      bool log_missing_prompts);

}  // namespace r7700
