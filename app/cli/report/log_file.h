// --log FILE and --trace: the status log, boxes and answers, one line each,
// every line starting with its UTC time stamp in ISO 8601 with milliseconds
// ("2026-12-09T11:52:03.123Z"). With trace on, also every command sent
// ("> "), line received ("< ") and downloader frame ("frame <address>
// <length> bytes ack <byte>", address and byte in hexadecimal).
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "app/cli/report/run_events.h"

namespace r7700::cli {

// "YYYY-MM-DDThh:mm:ss.mmmZ".
std::string IsoTimeStamp(std::chrono::system_clock::time_point time);

class LogFileSink : public RunEventSink {
 public:
  // Writes whole lines; set when the log shares a screen with a progress
  // line, which the lines must not be written into.
  using LineWriter = std::function<void(std::string_view)>;
  LogFileSink(std::FILE* out, bool trace, LineWriter writer = {})
      : out_(out), trace_(trace), writer_(std::move(writer)) {}

  void LogLine(const EventTime& time, std::string_view line) override;
  void Box(const EventTime& time, std::string_view caption, std::string_view text) override;
  void Question(const EventTime& time, std::string_view caption, std::string_view text,
                bool yes) override;
  void Sent(const EventTime& time, std::string_view line) override;
  void Received(const EventTime& time, std::string_view line) override;
  void Frame(const EventTime& time, const FrameEvent& frame) override;

  // Stamps every line of text (a box may have several).
  void Write(const EventTime& time, std::string_view text);

 private:
  std::FILE* out_;
  bool trace_;
  LineWriter writer_;
};

}  // namespace r7700::cli
