#include "app/cli/several/multi_display.h"

#include <algorithm>
#include <array>

#include "link/text_format.h"

namespace r7700::cli {
namespace {

// Eight progress counters change many times a second; redrawing the block
// more often than this only costs terminal bandwidth.
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
constexpr long kSecondsPerMinute = 60;
constexpr double kBytesPerKilobyte = 1024;

// Every line of text, the continuation lines of a box too, carries the port.
std::string Prefixed(std::string_view port, std::string_view text) {
  std::string lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    lines += std::string(port) + ": " + std::string(text.substr(start, end - start));
    if (end == std::string_view::npos) return lines;
    lines += "\n";
    start = end + 1;
  }
}

constexpr size_t kFigures = 3;
constexpr size_t kPercentFigure = 0;
constexpr size_t kRateFigure = 1;
constexpr size_t kTimeLeftFigure = 2;

}  // namespace

std::string MinutesAndSeconds(double seconds) {
  const auto whole = static_cast<long>(seconds + 0.5);
  return Format("%ld:%02ld", whole / kSecondsPerMinute, whole % kSecondsPerMinute);
}

MultiDisplay::MultiDisplay(DisplayStreams streams, std::vector<std::string> ports)
    : streams_(streams), ports_(std::move(ports)), statuses_(ports_.size()) {
  for (const std::string& port : ports_) port_width_ = std::max(port_width_, port.size());
}

void MultiDisplay::LogLine(size_t index, std::string_view line) {
  const std::lock_guard<std::mutex> lock(mutex_);
  statuses_[index].stage = std::string(line);
  if (!streams_.redraw || !streams_.out_on_same_screen) {
    std::fprintf(streams_.out, "%s\n", Prefixed(ports_[index], line).c_str());
    std::fflush(streams_.out);
  }
  if (streams_.redraw && std::chrono::steady_clock::now() - last_draw_ >= kRedrawInterval) {
    DrawBlock();
  }
}

void MultiDisplay::Box(size_t index, std::string_view caption, std::string_view text) {
  PrintAbove(index, std::string(caption) + ": " + std::string(text));
}

void MultiDisplay::Note(size_t index, std::string_view text) {
  PrintAbove(index, text);
}

void MultiDisplay::PrintAbove(size_t index, std::string_view text) {
  const std::lock_guard<std::mutex> lock(mutex_);
  WipeBlock();
  std::fprintf(streams_.err, "%s\n", Prefixed(ports_[index], text).c_str());
  std::fflush(streams_.err);
  if (streams_.redraw) DrawBlock();
}

void MultiDisplay::Status(size_t index, const PortStatus& status) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const bool new_stage = statuses_[index].stage != status.stage;
  statuses_[index] = status;
  if (!streams_.redraw) return;
  if (new_stage || std::chrono::steady_clock::now() - last_draw_ >= kRedrawInterval) DrawBlock();
}

void MultiDisplay::Finish() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (streams_.redraw) DrawBlock();
  block_drawn_ = false;
}

std::string MultiDisplay::StatusLine(size_t index) const {
  const PortStatus& status = statuses_[index];
  const std::string text = Format("%-*s  %s", static_cast<int>(port_width_), ports_[index].c_str(),
                                  status.stage.c_str());
  // Percent, rate and time left, each whole or not at all: a cut number reads as another.
  std::array<std::string, kFigures> figures{};
  if (status.percent >= 0) figures[kPercentFigure] = Format("  %3d%%", status.percent);
  if (status.bytes_per_second > 0) {
    figures[kRateFigure] = Format("  %.1f KiB/s", status.bytes_per_second / kBytesPerKilobyte);
  }
  if (status.seconds_left >= 0) {
    figures[kTimeLeftFigure] = "  " + MinutesAndSeconds(status.seconds_left) + " left";
  }
  // A line wider than the terminal would wrap and break the redraw: the
  // rate goes first, then the time left, then the percent, then text.
  const auto width = static_cast<size_t>(std::max(streams_.columns - 1, 1));
  const auto line = [&] { return text + figures[0] + figures[1] + figures[2]; };
  for (const size_t dropped : {kRateFigure, kTimeLeftFigure, kPercentFigure}) {
    if (line().size() <= width) break;
    figures[dropped].clear();
  }
  std::string fitted = line();
  if (fitted.size() > width) fitted.resize(width);
  return fitted;
}

// Moves to the first status line and clears everything below it.
void MultiDisplay::WipeBlock() {
  if (!block_drawn_) return;
  std::fprintf(streams_.err, "\x1b[%zuA\r\x1b[J", ports_.size());
  block_drawn_ = false;
}

void MultiDisplay::DrawBlock() {
  WipeBlock();
  for (size_t i = 0; i < ports_.size(); ++i) {
    std::fprintf(streams_.err, "%s\x1b[K\n", StatusLine(i).c_str());
  }
  std::fflush(streams_.err);
  block_drawn_ = true;
  last_draw_ = std::chrono::steady_clock::now();
}

}  // namespace r7700::cli
