// Reads back what the tool put on the wire: command lines and downloader
// frames, in order, so tests can compare them with the dialogue they expect.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace r7700::test {

struct WireItem {
  enum Kind { kLine, kLoadBlock, kEndBlock } kind = kLine;
  std::string line;        // kLine: the text without its LF ("" for a nudge)
  uint32_t length = 0;     // kLoadBlock: the header's length field
  uint32_t address = 0;    // kLoadBlock: the header's address field
  size_t offset = 0;       // where the item starts in the byte stream
  size_t data_offset = 0;  // kLoadBlock: where its data starts
};

// Splits the bytes the PC sent into items. A frame starts with 0x4A ("J"),
// which begins no command line the tool sends. A trailing unfinished item
// is reported as a line holding "<truncated>".
std::vector<WireItem> ParseWire(const std::vector<uint8_t>& bytes);

// The command lines only, nudges included, frames left out.
std::vector<std::string> CommandLines(const std::vector<WireItem>& items);

// The LoadBlock frames only.
std::vector<WireItem> LoadBlocks(const std::vector<WireItem>& items);

// Command lines as "pf 3fefffc 4a" for an address and a byte value.
std::string PfLine(uint32_t address, uint32_t value);

// A number as the tool writes it into a command: lower-case hex, no prefix.
std::string Hex(uint32_t value);

}  // namespace r7700::test
