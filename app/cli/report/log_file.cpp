#include "app/cli/report/log_file.h"

#include <algorithm>

#include "link/text_format.h"

namespace r7700::cli {
namespace {

// Reply lines may carry anything the line delivered (noise at a wrong speed).
std::string Printable(std::string_view line) {
  std::string out;
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte >= 0x20 && byte < 0x7F ? std::string(1, c) : Format("\\x%02x", byte);
  }
  return out;
}

}  // namespace

std::string IsoTimeStamp(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto ms = floor<milliseconds>(time);
  const auto day = floor<days>(ms);
  const year_month_day date(day);
  const hh_mm_ss clock(ms - day);
  return Format("%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()),
                static_cast<int>(clock.subseconds().count()));
}

void LogFileSink::LogLine(const EventTime& time, std::string_view line) {
  Write(time, line);
}

void LogFileSink::Box(const EventTime& time, std::string_view caption, std::string_view text) {
  Write(time, std::string(caption) + ": " + std::string(text));
}

void LogFileSink::Question(const EventTime& time, std::string_view caption, std::string_view text,
                           bool yes) {
  Write(time, std::string(caption) + ": " + std::string(text) + (yes ? " yes" : " no"));
}

void LogFileSink::Sent(const EventTime& time, std::string_view line) {
  if (trace_) Write(time, "> " + Printable(line));
}

void LogFileSink::Received(const EventTime& time, std::string_view line) {
  if (trace_) Write(time, "< " + Printable(line));
}

void LogFileSink::Frame(const EventTime& time, const FrameEvent& frame) {
  if (!trace_) return;
  if (frame.length == 0) return Write(time, "frame end");
  const std::string ack = frame.ack ? Format("ack %02x", *frame.ack) : std::string("no ack");
  Write(time, Format("frame %lx %lu bytes %s", static_cast<unsigned long>(frame.address),
                     static_cast<unsigned long>(frame.length), ack.c_str()));
}

void LogFileSink::Write(const EventTime& time, std::string_view text) {
  const std::string stamp = IsoTimeStamp(time.wall);
  std::string lines;
  size_t start = 0;
  do {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines += stamp + " " + std::string(text.substr(start, end - start)) + "\n";
    start = end + 1;
  } while (start < text.size());
  if (writer_) return writer_(lines);
  std::fwrite(lines.data(), 1, lines.size(), out_);
  std::fflush(out_);
}

}  // namespace r7700::cli
