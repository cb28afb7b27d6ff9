// The settings file format over any file text: a read never returns more
// than its buffer holds, and a write changes the one key it names: read back
// it gives the value written, and every other key reads as before.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/profile_file.h"
#include "fuzz/check.h"

namespace r7700::fuzz {
namespace {

constexpr std::array<std::string_view, 3> kSections{"LanguageDefaults", "ProductDefaults",
                                                    "languagedefaults"};
constexpr std::array<std::string_view, 6> kKeys{"Language1",        "Language2", "DownloadTo",
                                                "DownloadFirmware", "language1", "Download"};
constexpr size_t kWideBuffer = 4096;

// Input: one byte choosing section and key, one byte the buffer width, then
// the file's text.
void CheckFile(uint8_t choice, size_t buffer_size, std::string_view text) {
  const std::string_view section = kSections[choice % kSections.size()];
  const std::string_view key = kKeys[(choice / kSections.size()) % kKeys.size()];

  const std::string value = ReadProfileString(text, section, key, "default-value", buffer_size);
  Check(buffer_size == 0 ? value.empty() : value.size() < buffer_size);

  const std::string written = WriteProfileString(text, section, key, "TRUE");
  Check(ReadProfileString(written, section, key, "", kWideBuffer) == "TRUE");
  for (const std::string_view other_section : kSections) {
    for (const std::string_view other_key : kKeys) {
      // Names compare without regard to case, so these are the same key.
      if (ReadProfileString("[" + std::string(section) + "]\n" + std::string(key) + "=same\n",
                            other_section, other_key, "", kWideBuffer) == "same") {
        continue;
      }
      Check(ReadProfileString(written, other_section, other_key, "~", kWideBuffer) ==
            ReadProfileString(text, other_section, other_key, "~", kWideBuffer));
    }
  }
}

}  // namespace
}  // namespace r7700::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
  r7700::fuzz::CheckFile(data[0], data[1], text);
  return 0;
}
