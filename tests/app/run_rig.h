// What an update-run test starts from: a program folder with settings file,
// catalogue, language modules and firmware image; the simulated instrument
// behind a cable that can be left unplugged; a window in memory loaded as
// start-up loads it; all on one virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "app/language_lists.h"
#include "app/startup.h"
#include "app/update_run.h"
#include "link/memory_window.h"
#include "sim/instrument.h"
#include "sim/sim_backend.h"
#include "tests/languages/test_folder.h"

namespace r7700::test {

// One write of the PC while plugged in, with the virtual times it began and
// ended (the write returns when its last byte has left).
struct TimedWrite {
  int64_t start_us;
  int64_t end_us;
  std::string bytes;
};

// The PC's end of the cable: passes everything through to the simulated
// instrument while plugged in; unplugged, what is written is lost and reads
// wait out their time limit. Notes opens, speeds and closes in events.
class CableEnd : public SerialConnection {
 public:
  CableEnd(std::unique_ptr<SerialConnection> port, const bool& plugged, VirtualClock& clock,
           std::vector<std::string>& events, std::vector<TimedWrite>& writes)
      : port_(std::move(port)), plugged_(plugged), clock_(clock), events_(events), writes_(writes) {
    events_.push_back("open");
  }
  ~CableEnd() override { events_.push_back("close"); }

  bool RequestQueues(uint32_t rx_bytes, uint32_t tx_bytes) override {
    return port_->RequestQueues(rx_bytes, tx_bytes);
  }
  LineResult Purge() override { return port_->Purge(); }
  LineResult SetTimeouts(const PortTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return port_->SetTimeouts(timeouts);
  }
  LineResult ConfigureLine(int32_t baud) override {
    events_.push_back("line " + std::to_string(baud));
    return port_->ConfigureLine(baud);
  }
  LineResult SetBaud(int32_t baud) override {
    events_.push_back("speed " + std::to_string(baud));
    return port_->SetBaud(baud);
  }
  LineResult RaiseLines() override { return port_->RaiseLines(); }
  uint32_t WriteSome(const uint8_t* data, uint32_t length) override {
    if (!plugged_) return length;
    const int64_t start_us = clock_.NowMicros();
    const uint32_t written = port_->WriteSome(data, length);
    writes_.push_back({start_us, clock_.NowMicros(), std::string(data, data + written)});
    return written;
  }
  void Flush() override { port_->Flush(); }
  uint32_t ReadSome(uint8_t* buffer, uint32_t count) override {
    if (plugged_) return port_->ReadSome(buffer, count);
    clock_.Sleep(timeouts_.read_per_byte_ms * count + timeouts_.read_constant_ms);
    return 0;
  }
  void ClearError() override { port_->ClearError(); }

 private:
  std::unique_ptr<SerialConnection> port_;
  const bool& plugged_;
  VirtualClock& clock_;
  std::vector<std::string>& events_;
  std::vector<TimedWrite>& writes_;
  PortTimeouts timeouts_{};
};

class Cable : public SerialBackend {
 public:
  Cable(SimBackend& sim, VirtualClock& clock) : sim_(sim), clock_(clock) {}

  OpenResult Open(const std::string& name) override {
    OpenResult opened = sim_.Open(name);
    if (opened) {
      opened.port =
          std::make_unique<CableEnd>(std::move(opened.port), plugged, clock_, events, writes);
    }
    return opened;
  }
  std::vector<std::string> CandidatePortNames() override { return sim_.CandidatePortNames(); }

  bool plugged = true;
  std::vector<std::string> events;
  std::vector<TimedWrite> writes;

 private:
  SimBackend& sim_;
  VirtualClock& clock_;
};

inline constexpr uint32_t kFirmwareImageBytes = 0x400000;
inline constexpr uint8_t kFirmwareMask = 0xA7;

// Bytes that differ from 0xFF and from their neighbours, so a lost or
// shifted piece shows in the instrument's memory.
inline std::string PatternText(size_t length, uint32_t seed) {
  std::string bytes(length, '\0');
  uint32_t state = seed;
  for (char& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

// The firmware as the instrument should hold it; the file holds it masked.
inline std::string FirmwareBytes() {
  return PatternText(kFirmwareImageBytes, 7);
}

inline std::string Masked(std::string bytes) {
  for (char& byte : bytes) byte = static_cast<char>(byte ^ kFirmwareMask);
  return bytes;
}

// English has a font; Deutsch and Francais have none.
inline constexpr std::string_view kCatalogue =
    "# languages of the test instrument\n"
    "English,eng1.bin,eng2.bin,engf.bin,1,10,0\n"
    "Deutsch,deu1.bin,deu2.bin,0,2,20,0\n"
    "Francais,fra1.bin,fra2.bin,0,3,30,0\n";

// Full mode: English and Deutsch, nothing to download until a test ticks it.
inline constexpr std::string_view kFullSettings =
    "[LanguageDefaults]\nLanguage1=English\nLanguage2=Deutsch\nLanguage3=None\nLanguage4=None\n"
    "[ProductDefaults]\nDownloadLanguages=FALSE\nDownloadFirmware=FALSE\n"
    "DownloadBootSector=FALSE\nEraseUserFlashMem=FALSE\nDownloadTo=FLASH\n";

struct RunRig {
  RunRig(const sim::InstrumentConfig& config, std::string_view settings_file,
         std::string_view settings)
      : instrument(config), sim_backend(instrument, clock), cable(sim_backend, clock) {
    folder.Write(settings_file, settings);
    folder.WriteData("lang.cfg", kCatalogue);
    const char* modules[] = {"eng1.bin", "eng2.bin", "engf.bin", "deu1.bin",
                             "deu2.bin", "fra1.bin", "fra2.bin"};
    for (uint32_t seed = 1; const char* name : modules) {
      folder.WriteData(name, PatternText(1500 + 100 * seed, seed));
      ++seed;
    }
    folder.WriteData("vqvesk.bin", Masked(FirmwareBytes()));
    app.paths = folder.paths();
    EXPECT_EQ(LoadStartupData(app, services, window), 0);
    FillLanguageLists(window, app.choices, app.selected);
    cable.events.clear();  // the start-up probe of the port list is not the run's
  }

  explicit RunRig(const sim::InstrumentConfig& config = {})
      : RunRig(config, "product.ini", kFullSettings) {}

  int Run() { return UpdateRun(app, services, window); }

  std::string Log() { return window.GetText(1006); }
  std::string Sent() const { return {sim_backend.sent().begin(), sim_backend.sent().end()}; }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : window.boxes()) texts.push_back(box.text);
    return texts;
  }
  // True when nobody holds the port any more.
  bool PortFree() { return sim_backend.Open("SIM").port != nullptr; }

  TestFolder folder;
  VirtualClock clock;
  sim::Instrument instrument;
  SimBackend sim_backend;
  Cable cable;
  std::unique_ptr<ProfileStore> profiles = MakePlatformProfileStore();
  Services services{cable, *profiles, clock};
  AppState app;
  MemoryWindow window;
};

}  // namespace r7700::test
