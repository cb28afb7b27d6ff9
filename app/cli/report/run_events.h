// The events of one run as the command line reports them beyond the
// terminal, as the run's observer hears them: stages, status log lines,
// progress, boxes, questions, frames, the commands sent and lines received.
// One RunEvents object per run and per port; its sinks (JSON Lines, a log
// file) are objects of that run too, so several runs can report side by
// side.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

#include "link/run_observer.h"

namespace r7700::cli {

// When an event happened: seconds since the run began, and the wall clock.
struct EventTime {
  double seconds = 0;
  std::chrono::system_clock::time_point wall{};
};

// Receives the events; every method has a do-nothing default so a sink
// picks what it reports.
class RunEventSink {
 public:
  virtual ~RunEventSink() = default;

  // A progress phase begins (the caption above the bar).
  virtual void Stage(const EventTime&, RunStage, std::string_view /*caption*/) {}
  // One status log line, without its line end.
  virtual void LogLine(const EventTime&, std::string_view /*line*/) {}
  // The phase's counter: units so far and the whole percent reached.
  virtual void Progress(const EventTime&, RunStage, std::string_view /*caption*/, int64_t /*count*/,
                        int /*percent*/) {}
  virtual void Box(const EventTime&, std::string_view /*caption*/, std::string_view /*text*/) {}
  virtual void Question(const EventTime&, std::string_view /*caption*/, std::string_view /*text*/,
                        bool /*yes*/) {}
  // A command line sent and a reply line received, without line ends.
  virtual void Sent(const EventTime&, std::string_view /*line*/) {}
  virtual void Received(const EventTime&, std::string_view /*line*/) {}
  virtual void Frame(const EventTime&, const FrameEvent&) {}
};

// The run's clock and its sinks. Not owning: the sinks live as long as the run.
class RunEvents {
 public:
  RunEvents() : start_(std::chrono::steady_clock::now()) {}

  void Add(RunEventSink& sink) { sinks_.push_back(&sink); }
  EventTime Now() const {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
    return {elapsed.count(), std::chrono::system_clock::now()};
  }

  template <typename Method, typename... Args>
  void Emit(Method method, const Args&... args) {
    const EventTime now = Now();
    for (RunEventSink* sink : sinks_) (sink->*method)(now, args...);
  }

 private:
  std::chrono::steady_clock::time_point start_;
  std::vector<RunEventSink*> sinks_;
};

}  // namespace r7700::cli
