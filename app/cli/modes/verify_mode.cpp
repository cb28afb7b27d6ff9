// --verify: works out what the update with the same options would write
// (the language image is built as the run builds it), reads what the
// instrument holds with read-only queries, and compares. Every comparison
// goes to stdout (one JSON object with --json); exit 4 when any differs.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/modes/modes.h"
#include "app/cli/modes/read_only_link.h"
#include "app/instrument_holdings.h"
#include "app/resources/resource.h"
#include "app/update_run.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

struct Expected {
  bool firmware = false;
  bool languages = false;
  FirmwareContents firmware_contents;
  LanguageContents language_contents;
};

// The run's own preparation (inputs checked, the language image built),
// so what is compared is what the update would write. kExitSuccess to go
// on, else the exit status after a box or a line said why.
int WorkOutUpdate(Session& session, Expected* expected) {
  AppState& app = session.app();
  const UpdateRequest request = session.request();
  expected->firmware = request.download_firmware;
  expected->languages = request.download_languages;
  if (PrepareRun(app, request, session.observer()) != kRunSucceeded) return kExitRunFailed;
  if (expected->firmware && !ReadFirmwareContents(app.paths.firmware_path, app.run_options,
                                                  &expected->firmware_contents)) {
    std::fprintf(session.err(), "r7700-update: --verify: cannot read %s\n",
                 app.paths.firmware_path.c_str());
    return kExitRunFailed;
  }
  if (expected->languages &&
      !ReadLanguageContents(app.paths.temp_image_path, &expected->language_contents)) {
    std::fprintf(session.err(), "r7700-update: --verify: cannot read %s\n",
                 app.paths.temp_image_path.c_str());
    return kExitRunFailed;
  }
  return kExitSuccess;
}

std::string ComparisonsText(const std::vector<Comparison>& comparisons) {
  std::string text;
  for (const Comparison& c : comparisons) {
    text += Format("%-21s %-7s instrument %s, update %s\n", c.item.c_str(),
                   c.same ? "same" : "differs", c.instrument.c_str(), c.update.c_str());
  }
  return text;
}

std::string ComparisonsJson(const std::vector<Comparison>& comparisons) {
  std::vector<std::string> list;
  for (const Comparison& c : comparisons) {
    list.push_back(JsonObject()
                       .Text("item", c.item)
                       .Flag("same", c.same)
                       .Text("instrument", c.instrument)
                       .Text("update", c.update)
                       .str());
  }
  return JsonList(list);
}

// Reads what the instrument holds and compares; the exit status.
int CompareWithInstrument(ReadOnlyLink& link, const Expected& expected,
                          std::vector<Comparison>* comparisons) {
  const bool boot_sector = link.run().options.with_boot_sector;
  bool complete = true;
  if (expected.firmware) {
    FirmwareHoldings held;
    ReadFirmwareHoldings(link.run(), link.port(), boot_sector, &held);
    complete = held.Complete(boot_sector);
    *comparisons = CompareFirmware(held, expected.firmware_contents, boot_sector);
  }
  if (expected.languages) {
    LanguageHoldings held;
    ReadLanguageHoldings(link.run(), link.port(), &held);
    complete = complete && held.Complete();
    for (Comparison& c : CompareLanguages(held, expected.language_contents)) {
      comparisons->push_back(std::move(c));
    }
  }
  link.Reboot();
  if (!complete) return kExitRunFailed;
  const bool same = std::all_of(comparisons->begin(), comparisons->end(),
                                [](const Comparison& c) { return c.same; });
  return same ? kExitSuccess : kExitDiffers;
}

}  // namespace

int RunVerifyMode(Session& session) {
  ReadOnlyLink link(session);
  Expected expected;
  std::vector<Comparison> comparisons;
  int status = WorkOutUpdate(session, &expected);
  if (status == kExitSuccess) {
    status = link.Connect() ? CompareWithInstrument(link, expected, &comparisons) : kExitRunFailed;
  }
  link.Close();
  session.End();
  DiscardLanguageImage(session.app().image_builder, session.app().paths);
  session.Report(ComparisonsText(comparisons));
  // Comparisons that came to nothing: the instrument left a query unanswered.
  const bool unanswered = status == kExitRunFailed && !comparisons.empty();
  if (unanswered) ReportUnanswered(session);
  if (JsonEventSink* json = session.json()) {
    JsonObject record = ResultRecord(*json, session.events().Now(), status);
    if (!comparisons.empty()) record.Raw("comparisons", ComparisonsJson(comparisons));
    json->Write(AddError(session, record, unanswered));
  }
  return status;
}

}  // namespace r7700::cli
