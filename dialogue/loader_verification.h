// Loader verification: before flash is touched, the monitor's version is
// checked, a known pattern is loaded into the instrument's RAM through the
// downloader and its checksum compared, and the first rows are dumped back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "dialogue/command_link.h"
#include "dialogue/monitor_reads.h"
#include "link/run_context.h"
#include "link/serial_port.h"

namespace r7700 {

inline constexpr uint32_t kTestLoadAddress = 0x840000;
inline constexpr uint32_t kTestPatternBytes = 10240;
inline constexpr uint32_t kTestPieceBytes = 1024;  // pieces only move the progress bar

// The test load: byte i holds i mod 256.
struct TestPattern {
  std::array<uint8_t, kTestPatternBytes> bytes{};
  void Fill();
};

// The version line's character at this index decides the series.
inline constexpr size_t kVersionSeriesIndex = 9;
// The last series letter this tool updates (B/C); A-series monitors report
// letters above it.
inline constexpr int8_t kLastSupportedSeries = 'C';

inline constexpr uint32_t kAckPauseMs = 400;        // after the block, before its acknowledgement
inline constexpr uint32_t kChecksumPauseMs = 1000;  // the monitor computes the checksum
inline constexpr int kBannerTries = 5;
inline constexpr int kPromptWaitsAfterLoad = 6;
inline constexpr int kSilentWaitsBeforeNudge = 2;  // after the end block
inline constexpr int kChecksumReads = 16;
inline constexpr int kChecksumReadsBeforeNudge = 3;
inline constexpr int kDumpRows = 6;

// Results of VerifyTestLoad.
inline constexpr int kTestLoadOk = 0;
inline constexpr int kNoDownloader = 1;
inline constexpr int kTestLoadMismatch = -1;  // acknowledgement or checksum
inline constexpr int kNoPromptAfterChecksum = 2;
inline constexpr int kNoPromptAfterLoad = 3;

// Results of VerifyTestDump.
inline constexpr int kDumpOk = 0;
inline constexpr int kDumpMismatch = 2;

// Sends "ver" and reads its reply line into reply (cleared in full first),
// then waits for the prompt. Read-only.
void QueryMonitorVersion(RunContext& run, PortHandle port, ReplyLine& reply);

// Sends "ver" and refuses A-series monitors: the character at index 9 of
// the reply, as a signed 8-bit value, must be at most 'C'. The reply buffer
// is cleared in full before the read, so a reply shorter than nine
// characters finds a NUL there and is accepted. On acceptance sends "enh"
// and "sec_enh". 0 supported, -1 not.
int CheckMonitorVersion(RunContext& run, PortHandle port);

// Step1: loads the pattern at kTestLoadAddress with "ramload" and one
// LoadBlock, compares the acknowledgement and the monitor's checksum. One of
// the kTestLoad... / kNo... results above.
int VerifyTestLoad(RunContext& run, PortHandle port);

// Step2: dumps six 16-byte rows from kTestLoadAddress with "dm" and compares
// each reply's first 48 characters with the pattern as "%02X " text.
// kDumpOk when all matched, kDumpMismatch at the first row that did not.
int VerifyTestDump(RunContext& run, PortHandle port);

}  // namespace r7700
