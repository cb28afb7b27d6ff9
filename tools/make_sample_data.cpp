// r7700-make-sample-data: writes a complete set of sample data files for the
// update tool and the simulated instrument: the settings file beside the
// program and, in its data folder, the language catalogue, the language
// module and font files it names, and the masked firmware image.
//
// The output is the same, byte for byte, on every run: tests and the demo
// compare against it. The contents are recognisable (a header text at the
// start of every file, followed by a fixed-seed byte stream) but are no
// firmware: never load them into a real instrument.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/settings.h"
#include "download/firmware_download.h"
#include "languages/image_builder.h"
#include "link/data_paths.h"

namespace r7700 {
namespace {

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitWriteFailed = 1;
constexpr int kExitUsage = 64;

constexpr std::string_view kUsage =
    "usage: r7700-make-sample-data <folder> [--mode full|restricted] [--small]\n"
    "\n"
    "Writes sample data for the R7700 update tool into <folder>:\n"
    "  <folder>/data/lang.cfg      catalogue of five languages (Deutsch without font)\n"
    "  <folder>/data/*.bin, *.fnt  language module and font files\n"
    "  <folder>/data/vqvesk.bin    masked firmware image, 0x400000 bytes\n"
    "  <folder>/product.ini        settings, Full mode (default), or\n"
    "  <folder>/veskotdr.ini       settings, Restricted mode (--mode restricted)\n"
    "The settings file of the other mode is removed, so the folder starts in the\n"
    "mode asked for. --small makes module and font files of a few hundred bytes\n"
    "for fast tests. The output is identical on every run. It is sample data for\n"
    "the simulated instrument: never load it into a real instrument.\n";

constexpr std::string_view kFirmwareVersion = "4.20";

// One language of the sample catalogue. Its files are named from prefix:
// <prefix>_mod1.bin, <prefix>_mod2.bin and <prefix>_font.fnt. The separator
// and the way the three numbers are written vary from line to line, as in
// catalogues edited by hand, so that every form the catalogue reader accepts
// occurs.
struct SampleLanguage {
  std::string_view name;
  std::string_view prefix;
  bool has_font;
  std::string_view separator;    // between the fields of its line
  std::string_view numbers;      // fields 5 to 7 as written
  std::array<uint32_t, 3> full;  // sizes of first, second module and font
  std::array<uint32_t, 3> small;
};

constexpr std::array<SampleLanguage, 5> kLanguages{
    {{"English", "eng", true, ",", "1,0x0409,0x10", {48213, 36870, 71342}, {412, 305, 538}},
     {"Deutsch", "deu", false, ", ", "2, 0x0407, 1A", {52117, 39904, 0}, {437, 321, 0}},
     {"Francais", "fra", true, ", ", "3, 40c, 0x1b", {50266, 38015, 69880}, {425, 318, 517}},
     {"Espanol", "esp", true, ",", "4,0x040A,1c", {49731, 37442, 70104}, {419, 311, 522}},
     {"Italiano", "ita", true, ", ", "+5, 0X0410, 0x1D", {49090, 37818, 70950}, {408, 299, 530}}}};

std::string ModuleFile(const SampleLanguage& language, int part) {
  return std::string(language.prefix) + "_mod" + std::to_string(part) + ".bin";
}

// The catalogue's font field: the file name, or "0" for no font.
std::string FontField(const SampleLanguage& language) {
  return language.has_font ? std::string(language.prefix) + "_font.fnt" : "0";
}

constexpr uint32_t LanguageBytes(const SampleLanguage& language, bool small) {
  const std::array<uint32_t, 3>& sizes = small ? language.small : language.full;
  return sizes[0] + sizes[1] + sizes[2];
}

constexpr uint32_t AllLanguagesBytes(bool small) {
  uint32_t total = 0;
  for (const SampleLanguage& language : kLanguages) total += LanguageBytes(language, small);
  return total;
}

// Even all five languages together fit into one image, so every choice the
// four language lists allow builds.
static_assert(kDirectoryBytes + AllLanguagesBytes(false) <= kMaxLanguageImageBytes);
static_assert(kDirectoryBytes + AllLanguagesBytes(true) <= kMaxLanguageImageBytes);

// The settings every generated settings file holds.
constexpr std::array<std::string_view, 4> kSampleLanguageSlots{"English", "Deutsch", "None",
                                                               "None"};
constexpr std::string_view kProductDefaults =
    "DownloadLanguages=TRUE\n"
    "DownloadFirmware=TRUE\n"
    "DownloadBootSector=FALSE\n"
    "EraseUserFlashMem=FALSE\n"
    "DownloadTo=FLASH\n";

// Marsaglia's xorshift32: small, fast and the same on every platform.
class ByteStream {
 public:
  explicit ByteStream(uint32_t seed) : state_(seed == 0 ? 1 : seed) {}
  uint8_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<uint8_t>(state_ >> 24);
  }

 private:
  uint32_t state_;
};

// FNV-1a, so that every file gets its own stream from its own name.
uint32_t SeedOf(std::string_view text) {
  uint32_t hash = 2166136261u;
  for (char c : text) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 16777619u;
  }
  return hash;
}

// header, then fixed-seed bytes up to size; the header is cut if size is
// smaller.
std::vector<uint8_t> RecognisableBytes(std::string_view header, uint32_t size) {
  std::vector<uint8_t> bytes(header.begin(), header.end());
  bytes.resize(size);
  ByteStream stream(SeedOf(header));
  for (size_t i = header.size(); i < bytes.size(); ++i) bytes[i] = stream.Next();
  return bytes;
}

// Fills [offset, end) of image with a header text and a fixed-seed stream.
void FillSection(std::vector<uint8_t>& image, size_t offset, size_t end, std::string_view header) {
  const std::vector<uint8_t> bytes = RecognisableBytes(header, static_cast<uint32_t>(end - offset));
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

// The firmware image as the instrument's flash is to hold it, then masked
// as the file stores it.
std::vector<uint8_t> MaskedFirmwareImage() {
  std::vector<uint8_t> image(kFirmwareRegionBytes);
  const std::string version(kFirmwareVersion);
  FillSection(image, 0, kFirmwareDataLimitOffset,
              "R7700B/C FIRMWARE " + version + "\nsample image for the simulated instrument\n");
  // The byte between the data and the marker, and the marker itself, stay
  // erased (0xFF): the marker is programmed over them after the transfer,
  // and programming flash can only clear bits.
  std::fill(image.begin() + kFirmwareDataLimitOffset, image.begin() + kBootSectorOffset, 0xFF);
  FillSection(
      image, kBootSectorOffset, kFirmwareRegionBytes,
      "R7700 BOOT SECTOR " + version + "\nsample boot sector for the simulated instrument\n");
  for (uint8_t& byte : image) byte ^= ImageMask;
  return image;
}

std::string CatalogueText() {
  std::string text =
      "# R7700 language catalogue: sample data written by r7700-make-sample-data\n"
      "# name, first module, second module, font (0: no font), decimal, hex, hex\n"
      "# The three numbers go into the language's directory slot (low 16 bits).\n"
      "\n";
  for (const SampleLanguage& language : kLanguages) {
    if (!language.has_font) text += "# " + std::string(language.name) + " has no font file\n";
    const std::string separator(language.separator);
    text += std::string(language.name) + separator + ModuleFile(language, 1) + separator +
            ModuleFile(language, 2) + separator + FontField(language) + separator +
            std::string(language.numbers) + "\n";
  }
  return text;
}

std::string LanguageDefaultsText() {
  std::string text = "[LanguageDefaults]\n";
  for (size_t slot = 0; slot < kSampleLanguageSlots.size(); ++slot) {
    text += "Language" + std::to_string(slot + 1) + "=" + std::string(kSampleLanguageSlots[slot]) +
            "\n";
  }
  return text;
}

bool WriteBytes(const fs::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) {
    std::fprintf(stderr, "r7700-make-sample-data: cannot write %s\n", path.string().c_str());
    return false;
  }
  return true;
}

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  return WriteBytes(path, bytes.data(), bytes.size());
}

bool WriteText(const fs::path& path, std::string_view text) {
  return WriteBytes(path, text.data(), text.size());
}

bool WriteLanguageFiles(const fs::path& data, bool small) {
  for (const SampleLanguage& language : kLanguages) {
    const std::array<uint32_t, 3>& sizes = small ? language.small : language.full;
    const std::string name(language.name);
    for (int part = 1; part <= 2; ++part) {
      const std::string header =
          "R7700 LANGUAGE MODULE " + name + " part " + std::to_string(part) + "\n";
      if (!WriteBytes(data / ModuleFile(language, part),
                      RecognisableBytes(header, sizes[static_cast<size_t>(part - 1)]))) {
        return false;
      }
    }
    if (language.has_font &&
        !WriteBytes(data / FontField(language),
                    RecognisableBytes("R7700 FONT " + name + "\n", sizes[2]))) {
      return false;
    }
  }
  return true;
}

enum class Mode { kFull, kRestricted };

// Writes the settings file of mode and removes the other one, which would
// otherwise decide the mode (product.ini wins when both are present).
bool WriteSettings(const fs::path& folder, Mode mode) {
  const bool full = mode == Mode::kFull;
  std::error_code error;
  fs::remove(folder / (full ? kRestrictedSettingsFile : kFullSettingsFile), error);
  if (error) {
    std::fprintf(stderr, "r7700-make-sample-data: cannot remove the other settings file: %s\n",
                 error.message().c_str());
    return false;
  }
  if (!full) return WriteText(folder / kRestrictedSettingsFile, LanguageDefaultsText());
  return WriteText(folder / kFullSettingsFile, LanguageDefaultsText() + "\n[ProductDefaults]\n" +
                                                   std::string(kProductDefaults));
}

struct Options {
  fs::path folder;
  Mode mode = Mode::kFull;
  bool small = false;
};

// False on a usage error.
bool ParseArguments(int argc, char** argv, Options& options) {
  bool have_folder = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--small") {
      options.small = true;
    } else if (arg == "--mode" && i + 1 < argc) {
      const std::string_view mode = argv[++i];
      if (mode == "full") {
        options.mode = Mode::kFull;
      } else if (mode == "restricted") {
        options.mode = Mode::kRestricted;
      } else {
        return false;
      }
    } else if (!arg.empty() && arg[0] != '-' && !have_folder) {
      options.folder = arg;
      have_folder = true;
    } else {
      return false;
    }
  }
  return have_folder;
}

int Run(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::fputs(std::string(kUsage).c_str(), stdout);
    return kExitOk;
  }
  Options options;
  if (!ParseArguments(argc, argv, options)) {
    std::fputs(std::string(kUsage).c_str(), stderr);
    return kExitUsage;
  }
  const fs::path data = options.folder / "data";
  std::error_code error;
  fs::create_directories(data, error);
  if (error) {
    std::fprintf(stderr, "r7700-make-sample-data: cannot create %s: %s\n", data.string().c_str(),
                 error.message().c_str());
    return kExitWriteFailed;
  }
  const bool written = WriteText(data / kCatalogueFileName, CatalogueText()) &&
                       WriteLanguageFiles(data, options.small) &&
                       WriteBytes(data / kFirmwareFileName, MaskedFirmwareImage()) &&
                       WriteSettings(options.folder, options.mode);
  if (!written) return kExitWriteFailed;
  std::printf("Sample data (%s mode%s) written to %s\n",
              options.mode == Mode::kFull ? "Full" : "Restricted",
              options.small ? ", small language files" : "", options.folder.string().c_str());
  return kExitOk;
}

}  // namespace
}  // namespace r7700

int main(int argc, char** argv) {
  return r7700::Run(argc, argv);
}
