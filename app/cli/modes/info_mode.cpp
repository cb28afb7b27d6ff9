// --info: the connection stages of an update up to the monitor, then only
// read-only queries, then the reboot. What was found goes to stdout (one
// JSON object with --json); the status log goes to stderr.
#include <cstdio>
#include <string>

#include "app/cli/modes/modes.h"
#include "app/cli/modes/read_only_link.h"
#include "app/instrument_holdings.h"
#include "dialogue/command_link.h"
#include "dialogue/loader_verification.h"
#include "link/text_format.h"

namespace r7700::cli {
namespace {

constexpr std::string_view kModelName = "R7700";

struct InstrumentInfo {
  std::string port;
  std::string identity;
  std::string power;  // empty: not asked
  std::string version;
  bool ram_card = false;
  FirmwareHoldings firmware;
  LanguageHoldings languages;
};

// "AC<END>" says "AC".
std::string PowerSource(std::string answer) {
  if (answer.ends_with(EndMarker)) answer.resize(answer.size() - EndMarker.size());
  return answer;
}

// The letter after the model name ("R7700A"), where the monitor's version
// line names it.
std::string SeriesLetter(const std::string& version) {
  const size_t model = version.find(kModelName);
  const size_t letter = model + kModelName.size();
  return std::string(1, model != std::string::npos && letter < version.size() ? version[letter]
                                                                              : SeriesOf(version));
}

// The update refuses what its series check refuses.
std::string SeriesText(const std::string& version) {
  std::string text = SeriesLetter(version);
  if (static_cast<int8_t>(SeriesOf(version)) > kLastSupportedSeries) {
    text += " (not supported by this tool)";
  }
  return text;
}

std::string MarkerLine(const MarkerReading& marker) {
  if (!marker.bytes) return "marker unread";
  std::string text = "marker " + MarkerText(marker.bytes);
  if (!marker.HasMagic()) return text + ": not valid (no \"JS\")";
  text += marker.Valid() ? ": valid" : ": not valid";
  return text + Format(" (checksum %s, the monitor computes %s)",
                       ChecksumText(marker.Stored()).c_str(),
                       ChecksumText(marker.computed).c_str());
}

std::string Installed(const LanguageHoldings& languages) {
  if (!languages.directory) return "unread";
  if (!languages.marker.Valid()) return "none valid (the area's marker is not)";
  return NamesText(DirectoryLanguages(*languages.directory));
}

std::string InfoText(const InstrumentInfo& info) {
  std::string text;
  const auto line = [&](const char* label, const std::string& value) {
    text += Format("%-11s %s\n", label, value.c_str());
  };
  line("port", info.port);
  line("identity", info.identity);
  line("series", SeriesText(info.version));
  line("power", info.power.empty() ? "not asked (the monitor was running)" : info.power);
  line("monitor", info.version);
  line("boots from", info.ram_card ? "RAM card" : "flash");
  line("firmware", MarkerLine(info.firmware.marker));
  line("languages", MarkerLine(info.languages.marker));
  line("installed", Installed(info.languages));
  return text;
}

std::string MarkerJson(const MarkerReading& marker) {
  JsonObject object;
  object.Text("marker", MarkerText(marker.bytes)).Flag("valid", marker.Valid());
  if (marker.bytes) object.Text("stored_checksum", ChecksumText(marker.Stored()));
  if (marker.computed) object.Text("computed_checksum", ChecksumText(marker.computed));
  return object.str();
}

void AddInfoFields(const InstrumentInfo& info, JsonObject& object) {
  std::vector<std::string> installed;
  if (info.languages.directory && info.languages.marker.Valid()) {
    installed = DirectoryLanguages(*info.languages.directory);
  }
  object.Text("identity", info.identity)
      .Text("series", SeriesLetter(info.version))
      .Text("power", info.power)
      .Text("monitor_version", info.version)
      .Text("boot_from", info.ram_card ? "ramcard" : "flash")
      .Raw("firmware", MarkerJson(info.firmware.marker))
      .Raw("languages", MarkerJson(info.languages.marker))
      .Raw("installed", JsonStrings(installed));
}

}  // namespace

int RunInfoMode(Session& session) {
  InstrumentInfo info;
  info.port = session.request().port;
  ReadOnlyLink link(session);
  // Reading changes nothing, so an instrument on battery is read too.
  link.run().policy.power_irrelevant = true;
  info.ram_card = link.run().options.boot_from_ram_card;
  const bool read = link.Connect();
  info.identity = link.run().identity;
  info.power = PowerSource(link.run().power);
  if (read) {
    info.version = link.MonitorVersion();
    ReadFirmwareHoldings(link.run(), link.port(), false, &info.firmware);
    ReadLanguageHoldings(link.run(), link.port(), &info.languages);
    link.Reboot();
  }
  link.Close();
  session.End();
  const bool complete = info.firmware.Complete(false) && info.languages.Complete();
  const int status = read && complete ? kExitSuccess : kExitRunFailed;
  if (read) session.Report(InfoText(info));
  if (read && !complete) ReportUnanswered(session);
  if (JsonEventSink* json = session.json()) {
    JsonObject record = ResultRecord(*json, session.events().Now(), status);
    if (read) AddInfoFields(info, record);
    json->Write(AddError(session, record, read && !complete));
  }
  return status;
}

}  // namespace r7700::cli
