#include "app/cli/report/json_events.h"

#include "app/cli/command_line/options.h"

namespace r7700::cli {
namespace {

// 128 and the signal's number: a request ended the run, no fault of it.
constexpr int kFirstSignalExitStatus = 128;

}  // namespace

void JsonEventSink::Stage(const EventTime& time, RunStage stage, std::string_view caption) {
  Write(Begin(time, "stage").Text("id", StageId(stage)).Text("name", caption));
}

void JsonEventSink::LogLine(const EventTime& time, std::string_view line) {
  Write(Begin(time, "log").Text("text", line));
}

void JsonEventSink::Progress(const EventTime& time, RunStage stage, std::string_view caption,
                             int64_t count, int percent) {
  Write(Begin(time, "progress")
            .Text("stage", caption)
            .Text("stage_id", StageId(stage))
            .Number("count", count)
            .Number("percent", percent));
}

void JsonEventSink::Box(const EventTime& time, std::string_view caption, std::string_view text) {
  Write(Begin(time, "box").Text("caption", caption).Text("text", text));
}

void JsonEventSink::Question(const EventTime& time, std::string_view caption, std::string_view text,
                             bool yes) {
  Write(Begin(time, "question")
            .Text("caption", caption)
            .Text("text", text)
            .Text("answer", yes ? "yes" : "no"));
}

JsonObject JsonEventSink::Begin(const EventTime& time, std::string_view event) const {
  JsonObject object;
  object.Seconds("t", time.seconds).Text("event", event);
  if (!port_label_.empty()) object.Text("port", port_label_);
  return object;
}

void JsonEventSink::Write(const JsonObject& object) {
  const std::string line = object.str() + "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

std::string_view ExitOutcomeName(int exit_status) {
  switch (exit_status) {
    case kExitSuccess:
      return "success";
    case kExitDeclined:
      return "declined";
    case kExitRunFailed:
      return "failed";
    case kExitStartupFailed:
      return "startup-failed";
    case kExitDiffers:
      return "differs";
    case kExitUsage:
      return "usage";
    default:
      break;
  }
  return exit_status > kFirstSignalExitStatus ? "interrupted" : "failed";
}

std::string_view StageOutcomeName(StageOutcome outcome) {
  switch (outcome) {
    case StageOutcome::kNotChosen:
      return "not-chosen";
    case StageOutcome::kNotReached:
      return "not-reached";
    case StageOutcome::kDone:
      return "written";
    case StageOutcome::kUnchanged:
      return "unchanged";
    case StageOutcome::kFailed:
      return "failed";
  }
  return "failed";
}

std::string_view StageId(RunStage stage) {
  switch (stage) {
    case RunStage::kTestLoad:
      return "test-load";
    case RunStage::kTestDump:
      return "test-dump";
    case RunStage::kFirmwareErase:
      return "firmware-erase";
    case RunStage::kUserFlashErase:
      return "user-flash-erase";
    case RunStage::kFirmwareTransfer:
      return "firmware-transfer";
    case RunStage::kLanguageErase:
      return "languages-erase";
    case RunStage::kLanguageTransfer:
      break;
  }
  return "languages-transfer";
}

void WriteRunResult(JsonEventSink& sink, const EventTime& time, int exit_status,
                    const PortRunReport& report, const UpdateRequest& request,
                    const RunReporter& reporter) {
  const auto image = [&](bool chosen, StageOutcome outcome, FrameRegion region) {
    const int64_t bytes = reporter.acknowledged_bytes(region);
    if (!chosen) outcome = StageOutcome::kNotChosen;
    return JsonObject().Text("outcome", StageOutcomeName(outcome)).Number("bytes", bytes).str();
  };
  JsonObject instrument;
  instrument.Text("identity", report.identity).Text("monitor_version", report.monitor_version);
  sink.Write(ResultRecord(sink, time, exit_status)
                 .Raw("instrument", instrument.str())
                 .Raw("firmware",
                      image(request.download_firmware, report.firmware, FrameRegion::kFirmware))
                 .Raw("languages", image(request.download_languages, report.languages,
                                         FrameRegion::kLanguages)));
}

JsonObject ResultRecord(const JsonEventSink& sink, const EventTime& time, int exit_status) {
  JsonObject record = sink.Begin(time, "result");
  record.Number("exit", exit_status)
      .Text("outcome", ExitOutcomeName(exit_status))
      .Seconds("duration", time.seconds);
  return record;
}

}  // namespace r7700::cli
