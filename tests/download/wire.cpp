#include "tests/download/wire.h"

#include <cstdio>

namespace r7700::test {
namespace {

uint32_t Word32At(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
         uint32_t{bytes[at + 3]};
}

}  // namespace

std::vector<WireItem> ParseWire(const std::vector<uint8_t>& bytes) {
  std::vector<WireItem> items;
  size_t at = 0;
  while (at < bytes.size()) {
    WireItem item;
    item.offset = at;
    if (bytes[at] == 0x4A) {
      if (at + 5 > bytes.size()) break;
      item.length = Word32At(bytes, at + 1);
      if (item.length == 0) {
        item.kind = WireItem::kEndBlock;
        at += 5;
      } else {
        item.kind = WireItem::kLoadBlock;
        if (at + 9 + item.length > bytes.size()) break;
        item.address = Word32At(bytes, at + 5);
        item.data_offset = at + 9;
        at = item.data_offset + item.length;
      }
    } else {
      size_t end = at;
      while (end < bytes.size() && bytes[end] != '\n') ++end;
      if (end == bytes.size()) break;
      item.line.assign(bytes.begin() + static_cast<long>(at),
                       bytes.begin() + static_cast<long>(end));
      at = end + 1;
    }
    items.push_back(item);
  }
  if (at < bytes.size()) items.push_back(WireItem{WireItem::kLine, "<truncated>", 0, 0, at, 0});
  return items;
}

std::vector<std::string> CommandLines(const std::vector<WireItem>& items) {
  std::vector<std::string> lines;
  for (const WireItem& item : items) {
    if (item.kind == WireItem::kLine) lines.push_back(item.line);
  }
  return lines;
}

std::vector<WireItem> LoadBlocks(const std::vector<WireItem>& items) {
  std::vector<WireItem> blocks;
  for (const WireItem& item : items) {
    if (item.kind == WireItem::kLoadBlock) blocks.push_back(item);
  }
  return blocks;
}

std::string PfLine(uint32_t address, uint32_t value) {
  char text[40];
  std::snprintf(text, sizeof text, "pf %lx %x", static_cast<unsigned long>(address), value);
  return text;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(value));
  return text;
}

}  // namespace r7700::test
