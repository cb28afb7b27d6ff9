// The command link to the instrument: command lines out, reply lines in,
// the monitor's prompt awaited with nudges, and the downloader's frames.
// Every dialogue step of connection, verification and download builds on it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "link/serial_port.h"

namespace r7700 {

class Clock;

// Fixed texts of the dialogue. Replies are recognised by their first
// characters only (case-sensitive, no blanks skipped).
inline constexpr std::string_view MonitorPrompt = "R7700";
inline constexpr std::string_view MonitorIdentification = "R7700 Monitor";
inline constexpr std::string_view DownloaderBanner = "VQ Downloader";
inline constexpr std::string_view EndMarker = "<END>";
inline constexpr std::string_view ApplicationIdPrefix = "VQ R77";
inline constexpr std::string_view ApplicationIdWord = "Reflectometer";
// Makes the instrument application hand the line over to its boot monitor.
inline constexpr std::string_view WakeUpLine = "S27413:B5D08A9C3E1\n";
inline constexpr std::string_view Nudge = "\n";
// How the monitor begins the line with which it refuses a command; memory
// is left as it was.
inline constexpr std::string_view MonitorErrorPrefix = "Error";

// Pauses after commands, before the reply is read.
inline constexpr uint32_t kQueryPauseMs = 400;        // application queries, wake-up, nudges
inline constexpr uint32_t kLoaderStartPauseMs = 800;  // "ramload", marker-clearing "pf"
inline constexpr uint32_t kBaudChangePauseMs = 1000;  // either side of a speed change

inline constexpr uint32_t kReplyBufferBytes = 200;
inline constexpr int kPromptReadsPerWait = 10;
inline constexpr int kPromptWaits = 8;

// Every downloader frame starts with this byte ("J").
inline constexpr uint8_t kFrameStart = 0x4A;

// One reply line as the dialogue reads it: at most 199 characters, CRs
// dropped, NUL-terminated, plus what the read returned (-1 after the idle
// limit, with whatever did arrive still in text).
struct ReplyLine {
  std::array<char, kReplyBufferBytes> text{};
  int32_t result = 0;

  void Clear() {
    text[0] = '\0';
    result = 0;
  }
  const char* c_str() const { return text.data(); }
  bool BeginsWith(std::string_view prefix) const;
  bool Contains(std::string_view word) const;
  // The characters before the first NUL.
  std::string_view view() const { return std::string_view(text.data()); }
};

// Reads one line of at most size - 1 characters into reply (emptied
// first) and reports it to the port's observer; returns ReadPortLine's result.
int32_t ReadReply(PortHandle port, ReplyLine& reply, uint32_t size = kReplyBufferBytes);

// Parses the start of the reply as a hexadecimal number ("%lx": either case,
// leading zeros allowed). False when it holds none, or one wider than 32 bits.
bool ParseHexReply(const ReplyLine& reply, uint32_t* value);

// Formats a command line printf-style and sends it in one write.
void SendCommand(PortHandle port, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Sends a fixed text as it stands, one line, and reports it to the port's
// observer. Every command of the dialogue goes out here.
void SendText(PortHandle port, std::string_view text);

// Up to 10 line reads; returns 1 at the first line beginning with prefix
// (copied into reply when given), 0 otherwise. A read ended by the idle
// limit is compared too, so a prompt without LF still counts.
int WaitForPrompt(PortHandle port, std::string_view prefix, ReplyLine* reply);

// A run of prompt waits: at most `waits` calls of WaitForPrompt; the first
// `silent_misses` failed waits go unanswered, every later one is followed by
// a nudge and the short pause.
struct PromptWaits {
  int waits;
  int silent_misses;
};

// Waits for the monitor prompt as waits says. True once it came. With
// refusal given, it receives the last line read on the way that begins
// with MonitorErrorPrefix (emptied first, so empty when there was none).
bool AwaitPromptNudging(PortHandle port, Clock& clock, PromptWaits waits,
                        ReplyLine* refusal = nullptr);

// Up to 8 waits for the monitor prompt; every failed wait but the first is
// followed by a nudge and the short pause. 0 when the prompt came, 3 when not.
int AwaitMonitorPrompt(PortHandle port, Clock& clock);

// Ends a download left unfinished: erased-flash bytes complete any block
// the downloader may still be taking in without changing flash
// (programming 0xFF clears no bit), and outside a block it skips them; the
// EndBlock then hands back to the monitor.
void LeaveDownloader(PortHandle port, Clock& clock);

// The monitor back in charge after a download exchange went wrong with the
// downloader perhaps still running: an EndBlock and a nudge end a
// downloader between blocks (a monitor refuses the bytes and shows its
// prompt); without a prompt LeaveDownloader follows. The lines the
// instrument says after the prompt are taken off the line. True once the
// prompt came.
bool ReturnToMonitor(PortHandle port, Clock& clock);

// Four bytes, most significant first, each in its own write.
void SendWord32(PortHandle port, uint32_t value);

// The LoadBlock header: start byte, length, address.
void SendLoadBlockHeader(PortHandle port, uint32_t length, uint32_t address);
// A whole LoadBlock: header, then the data in one write.
void SendLoadBlock(PortHandle port, const uint8_t* data, uint32_t length, uint32_t address);
// The 5-byte EndBlock that hands the line back to the monitor.
void SendEndBlock(PortHandle port);
// What the downloader acknowledges a block with: the XOR of its data bytes.
uint8_t BlockXor(const uint8_t* data, uint32_t length);

}  // namespace r7700
