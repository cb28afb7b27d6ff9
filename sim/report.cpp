// What the instrument finds when it reboots: the validity markers of the
// firmware and of the language area in the copy it boots from, and the
// names in the language directory.
#include <string>

#include "link/text_format.h"
#include "sim/core.h"
#include "sim/sha256.h"

namespace r7700::sim {
namespace {

constexpr uint32_t kFirmwareMarkerOffset = 0x3EFFFC;
constexpr uint32_t kFirmwareChecksumBytes = 0x3EFFFB;
constexpr uint32_t kLanguageChecksumBytes = 0xFFFFB;
constexpr uint32_t kLanguageSlots = 5;
constexpr uint32_t kLanguageSlotBytes = 44;
constexpr uint32_t kLanguageNameBytes = 20;

// "J", "S", then the checksum low byte and high byte.
bool MarkerValid(const SimMemory& memory, uint32_t marker, uint32_t checksum) {
  return memory.Peek(marker) == 'J' && memory.Peek(marker + 1) == 'S' &&
         memory.Peek(marker + 2) == (checksum & 0xFF) &&
         memory.Peek(marker + 3) == ((checksum >> 8) & 0xFF);
}

// A boot sector boots when something was put there and no write into it
// stopped half way.
bool BootSectorBoots(const Core& core, uint32_t boot_sector) {
  bool blank = true;
  core.memory.Visit(boot_sector, kSectorBytes, [&](const uint8_t* bytes, size_t n) {
    for (size_t i = 0; blank && i < n; ++i) blank = bytes[i] == 0xFF;
  });
  return !blank && !core.boot_writes.Partial(boot_sector);
}

std::vector<Instrument::Report::Region> Regions(const SimMemory& memory) {
  struct Span {
    const char* name;
    uint32_t start;
    uint32_t length;
  };
  constexpr Span kSpans[] = {{"firmware", kFirmwareBase, kFirmwareBytes},
                             {"boot_sector", kFirmwareBase + kBootSectorOffset, kSectorBytes},
                             {"language_area", kLanguageBase, kLanguageBytes},
                             {"user_flash", kUserFlashBase, kUserFlashBytes}};
  std::vector<Instrument::Report::Region> regions;
  for (const char* prefix : {"", "ramcard_"}) {
    const uint32_t shift = *prefix == 0 ? 0 : kRamCardOffset;
    for (const Span& span : kSpans) {
      Sha256 hash;
      memory.Visit(span.start - shift, span.length,
                   [&](const uint8_t* bytes, size_t n) { hash.Update(bytes, n); });
      regions.push_back(
          {std::string(prefix) + span.name, span.start - shift, span.length, hash.FinishHex()});
    }
  }
  return regions;
}

std::vector<std::string> LanguageNames(const SimMemory& memory, uint32_t directory) {
  std::vector<std::string> names;
  for (uint32_t slot = 0; slot < kLanguageSlots; ++slot) {
    std::string name;
    for (uint32_t i = 0; i < kLanguageNameBytes; ++i) {
      const uint8_t c = memory.Peek(directory + slot * kLanguageSlotBytes + i);
      if (c == 0) break;
      name.push_back(static_cast<char>(c));
    }
    // Slots not in use are zero (or still erased).
    if (!name.empty() && static_cast<uint8_t>(name[0]) != 0xFF) names.push_back(name);
  }
  return names;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      out += Format("\\u%04x", static_cast<unsigned>(byte));
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ", ";
    out += JsonString(items[i]);
  }
  return out + "]";
}

const char* JsonBool(bool value) {
  return value ? "true" : "false";
}

std::string NoiseDirectionJson(const char* name, const NoiseRates& rates,
                               const NoiseCounts& counts) {
  return Format(
      "    \"%s\": {\"bit_error_rate\": %g, \"drop_rate\": %g, \"duplicate_rate\": %g, "
      "\"bytes\": %lld, \"bits_flipped\": %lld, \"bytes_dropped\": %lld, "
      "\"bytes_duplicated\": %lld}",
      name, rates.bit_error_rate, rates.drop_rate, rates.duplicate_rate,
      static_cast<long long>(counts.bytes), static_cast<long long>(counts.bits_flipped),
      static_cast<long long>(counts.bytes_dropped),
      static_cast<long long>(counts.bytes_duplicated));
}

// The line noise asked for and what it did, so a run can be told and repeated.
std::string NoiseJson(const LineNoise& noise, const Instrument& instrument) {
  return Format("  \"noise\": {\n    \"seed\": %llu,\n",
                static_cast<unsigned long long>(noise.seed)) +
         NoiseDirectionJson("to_instrument", noise.to_instrument,
                            instrument.noise_counts(Direction::kToInstrument)) +
         ",\n" +
         NoiseDirectionJson("to_pc", noise.to_pc, instrument.noise_counts(Direction::kToPc)) +
         "\n  },\n";
}

}  // namespace

Instrument::Report Instrument::MakeReport() const {
  const Core& core = *core_;
  const uint32_t shift = core.config.boots_from_ram_card ? kRamCardOffset : 0;
  const uint32_t firmware = kFirmwareBase - shift;
  const uint32_t languages = kLanguageBase - shift;
  Report report;
  report.rebooted = core.rebooted;
  report.firmware_valid = MarkerValid(core.memory, firmware + kFirmwareMarkerOffset,
                                      core.memory.Checksum(firmware, kFirmwareChecksumBytes)) &&
                          BootSectorBoots(core, firmware + kBootSectorOffset);
  report.languages_valid = MarkerValid(core.memory, languages,
                                       core.memory.Checksum(languages + 4, kLanguageChecksumBytes));
  if (report.languages_valid) report.languages = LanguageNames(core.memory, languages + 4);
  report.firmware_bytes_programmed = core.firmware_bytes_programmed;
  report.regions = Regions(core.memory);
  return report;
}

std::string Instrument::ReportJson() const {
  const Report report = MakeReport();
  std::string json = "{\n";
  json += Format("  \"rebooted\": %s,\n", JsonBool(report.rebooted));
  json += Format("  \"firmware_valid\": %s,\n", JsonBool(report.firmware_valid));
  json += Format("  \"languages_valid\": %s,\n", JsonBool(report.languages_valid));
  json += "  \"languages\": " + JsonList(report.languages) + ",\n";
  json += Format("  \"firmware_bytes_programmed\": %lld,\n",
                 static_cast<long long>(report.firmware_bytes_programmed));
  json += Format("  \"baud\": %ld,\n", static_cast<long>(baud()));
  json += Format("  \"busy_us\": %lld,\n", static_cast<long long>(core_->busy_us));
  json += Format("  \"line_us\": %lld,\n",
                 static_cast<long long>(core_->line_us + core_->line.carried_us()));
  json += NoiseJson(core_->config.faults.line_noise, *this);
  json += "  \"regions\": {\n";
  for (size_t i = 0; i < report.regions.size(); ++i) {
    const Report::Region& region = report.regions[i];
    json += Format("    \"%s\": {\"start\": %lu, \"length\": %lu, \"sha256\": \"%s\"}%s\n",
                   region.name.c_str(), static_cast<unsigned long>(region.start),
                   static_cast<unsigned long>(region.length), region.sha256.c_str(),
                   i + 1 < report.regions.size() ? "," : "");
  }
  json += "  },\n";
  json +=
      Format("  \"commands_not_kept\": %lld,\n", static_cast<long long>(core_->commands_not_kept));
  json += "  \"commands\": " + JsonList(commands()) + "\n}\n";
  return json;
}

}  // namespace r7700::sim
