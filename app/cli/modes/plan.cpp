#include "app/cli/modes/plan.h"

#include "app/instrument_holdings.h"
#include "app/resources/resource.h"
#include "app/update_run.h"
#include "download/flash_map.h"
#include "link/serial_port.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr const char* kUserFlashName = "user flash";

std::vector<MemoryRange> ErasedRanges(const UpdatePlan& plan) {
  const FlashLayout layout = LayoutFor(plan.options);
  std::vector<MemoryRange> ranges;
  const auto add = [&](std::string name, const FlashSpan& span) {
    ranges.push_back({std::move(name), span.base, span.Last()});
  };
  if (plan.firmware_chosen) {
    add(layout.firmware.keep_boot_sector ? "firmware region"
                                         : "firmware region with its boot sector",
        layout.firmware.erase);
    if (plan.options.erase_user_flash) add(kUserFlashName, layout.firmware.user_flash);
  }
  if (plan.languages_chosen) add("language area", layout.languages.area);
  return ranges;
}

std::string RangeText(const MemoryRange& range) {
  return Format("%s 0x%07lX-0x%07lX (%lu KiB)", range.name.c_str(),
                static_cast<unsigned long>(range.first), static_cast<unsigned long>(range.last),
                static_cast<unsigned long>((range.last - range.first + 1) / 1024));
}

// As every checksum is shown, in the text and in JSON alike.
std::string SpanChecksumText(const FirmwareContents& firmware) {
  return ChecksumText(static_cast<uint16_t>(firmware.span_checksum));
}

std::string FirmwareText(const UpdatePlan& plan) {
  if (!plan.firmware_readable) return plan.firmware_path + ": cannot be read";
  return Format("%s: %llu bytes, checksum %s; %lu bytes to send", plan.firmware_path.c_str(),
                static_cast<unsigned long long>(plan.firmware.file_bytes),
                SpanChecksumText(plan.firmware).c_str(),
                static_cast<unsigned long>(plan.firmware.bytes_sent));
}

}  // namespace

UpdatePlan MakeUpdatePlan(const AppState& app, const UpdateRequest& request) {
  UpdatePlan plan;
  plan.port = request.port;
  plan.baud = request.baud;
  plan.options = request.options;
  plan.skip_unchanged = request.policy.skip_unchanged;
  plan.firmware_chosen = request.download_firmware;
  plan.firmware_path = app.paths.firmware_path;
  plan.firmware_readable = ReadFirmwareContents(plan.firmware_path, plan.options, &plan.firmware);
  plan.languages_chosen = request.download_languages;
  for (const int32_t row : request.languages) {
    if (row > 0 && row < kLanguageRows) {
      plan.languages.push_back(app.choices.rows[static_cast<size_t>(row)].name);
    }
  }
  plan.erased = ErasedRanges(plan);
  return plan;
}

std::string PlanText(const UpdatePlan& plan) {
  std::string text = "Plan:\n";
  const auto line = [&](const char* label, const std::string& value) {
    text += Format("  %-10s %s\n", label, value.c_str());
  };
  line("port", Format("%s, %ld baud (the instrument is reached at %ld)", plan.port.c_str(),
                      static_cast<long>(plan.baud), static_cast<long>(kOpeningBaud)));
  line("firmware", plan.firmware_chosen ? FirmwareText(plan) : "not loaded");
  line("languages", plan.languages_chosen ? NamesText(plan.languages) : "not loaded");
  line("boots from", plan.options.boot_from_ram_card ? "RAM card" : "flash");
  // With --skip-unchanged the ranges are the most that is erased.
  const std::string at_most = plan.skip_unchanged ? "at most " : "";
  for (const MemoryRange& range : plan.erased) line("erases", at_most + RangeText(range));
  if (plan.skip_unchanged && !plan.erased.empty()) {
    line("", "only the sectors that differ, found after connecting");
  }
  if (plan.erased.empty()) line("erases", "nothing");
  line("mains", "asked of the instrument; if its boot monitor runs, of you");
  return text;
}

std::vector<std::string> PlanImageLines(const UpdatePlan& plan) {
  std::vector<std::string> lines;
  if (plan.firmware_chosen) lines.push_back("firmware " + FirmwareText(plan));
  if (plan.languages_chosen) lines.push_back("languages " + NamesText(plan.languages));
  return lines;
}

std::string QuestionNotes(const UpdatePlan& plan) {
  std::string text =
      Format("The update will run at %ld baud (the instrument is first reached at %ld).\n",
             static_cast<long>(plan.baud), static_cast<long>(kOpeningBaud));
  for (const MemoryRange& range : plan.erased) {
    if (range.name != kUserFlashName) continue;
    text += "WARNING: this also erases the instrument's user data (its stored measurements) in " +
            RangeText(range) + "\n";
  }
  if (plan.firmware_chosen && (plan.options.with_boot_sector || plan.options.boot_from_ram_card)) {
    text +=
        "WARNING: this also erases and rewrites the boot sector; if that fails, the instrument "
        "cannot start\n";
  }
  return text;
}

JsonObject& AddPlanFields(const UpdatePlan& plan, JsonObject& object) {
  std::vector<std::string> erased;
  for (const MemoryRange& range : plan.erased) {
    erased.push_back(JsonObject()
                         .Text("region", range.name)
                         .Number("first", range.first)
                         .Number("last", range.last)
                         .str());
  }
  JsonObject firmware;
  firmware.Flag("chosen", plan.firmware_chosen).Text("path", plan.firmware_path);
  if (plan.firmware_readable) {
    firmware.Number("file_bytes", static_cast<int64_t>(plan.firmware.file_bytes))
        .Number("bytes_to_send", plan.firmware.bytes_sent)
        .Text("checksum", SpanChecksumText(plan.firmware));
  }
  return object.Number("baud", plan.baud)
      .Raw("firmware", firmware.str())
      .Raw("languages", JsonObject()
                            .Flag("chosen", plan.languages_chosen)
                            .Raw("names", JsonStrings(plan.languages))
                            .str())
      .Text("boot_from", plan.options.boot_from_ram_card ? "ramcard" : "flash")
      .Flag("boot_sector", plan.options.with_boot_sector)
      .Flag("erase_user_flash", plan.options.erase_user_flash)
      .Raw("erases", JsonList(erased));
}

}  // namespace r7700::cli
