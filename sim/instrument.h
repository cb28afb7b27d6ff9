// The simulated R7700 instrument: its application's command interpreter, the
// boot monitor and the monitor's downloader, over sparse RAM and flash. It is
// driven through a byte interface on the caller's clock (microseconds), so the
// same model serves the in-process tests (virtual time) and r7700-sim (a
// pseudo-terminal on scaled real time). It never papers over a mistake of the
// tool: a wrong speed, a refused frame or a bad command shows on the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/line_noise.h"

namespace r7700::sim {

enum class Power { kAc, kCharging, kBattery };

struct Faults {
  bool silent = false;          // never answers anything
  bool stale_end_line = false;  // an extra "<END>" line before the first identification line
  // Answer ramload/flashload with the prompt this many times first.
  int prompt_instead_of_banner = 0;
  int prompt_instead_of_checksum = 0;  // answer crc with the prompt this many times first
  // The first this many crc values come with their first character garbled
  // (bit 6 flipped: no hex digit any more), as line noise would leave them.
  int garbled_checksum_replies = 0;
  bool no_ack = false;  // downloader never sends a BlockAck
  // 0-based count of LoadBlock frames since power-up (RAM and flash alike);
  // that block's ack is wrong.
  int wrong_ack_on_block = -1;
  bool wrong_checksum = false;  // crc answers a wrong value
  // Erase takes this much longer than the tool waits for it (48.2 s, or
  // 16.2 s within the language area) when above 0.
  int erase_extra_ms = 0;
  int noise_every_n_bytes = 0;      // corrupt every n-th byte the instrument receives (0 = off)
  int64_t unplug_after_bytes = -1;  // stop talking (line dead) after this many received bytes
  // A block is acknowledged on receipt, before it is programmed; what
  // arrives while it programs is lost all the same.
  bool no_pacing = false;
  // A command line received equal to `first` is taken as `second` (line noise).
  std::vector<std::pair<std::string, std::string>> garbled_commands{};
  // The byte the downloader receives for this address has one bit flipped
  // (-1: none); the acknowledgement covers the byte as received.
  int64_t garbled_byte_address = -1;
  // Random bit errors, drops and duplicates on the line, each way.
  LineNoise line_noise{};
};

struct InstrumentConfig {
  char series = 'C';  // 'A' is refused by the tool (index-9 char above 'C'), 'B'/'C' supported
  Power power = Power::kAc;
  bool in_monitor = false;           // boot monitor already running at power-up
  bool boots_from_ram_card = false;  // which firmware/language copy reboot validates
  int32_t initial_baud = 19200;
  // Both firmware copies hold a boot sector from the factory; false: blank.
  bool factory_boot_sector = true;
  // Takes commands as a person types them (CR, runs of blanks, upper-case
  // hex, leading zeros); strict by default: only the tool's exact forms.
  bool lenient = false;
  Faults faults;
};

struct Core;

class Instrument {
 public:
  explicit Instrument(InstrumentConfig config);
  ~Instrument();
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  // Byte interface, time in microseconds on the caller's clock. The PC's
  // line speed is given with every call: while it differs from the
  // instrument's own speed, what arrives is garbage and nothing is answered.
  // The first byte starts on the line at now_us (or when the previous one
  // has arrived); each takes 10 bit times at pc_baud.
  void Receive(const uint8_t* data, size_t length, int64_t now_us, int32_t pc_baud);
  // Bytes whose transmission has completed by now_us (paced at the current
  // speed, 10 bits a byte), at most max. Bytes sent at a speed other than
  // pc_baud arrive as garbage (values 0x80 to 0xFF).
  size_t Transmit(uint8_t* out, size_t max, int64_t now_us, int32_t pc_baud);
  // When the last byte received so far will have arrived.
  int64_t InputFreeMicros() const;
  // When the next output byte will be complete (INT64_MAX when none is pending).
  int64_t NextOutputMicros() const;
  // Output whose transmission has begun by now_us is lost (the PC end purged
  // or was closed); what the instrument has yet to start sending stays.
  void DiscardStarted(int64_t now_us);
  // The instrument's own speed at the latest time it was told of.
  int32_t baud() const;

  // Inspection for tests and the state report.
  uint8_t Peek(uint32_t address) const;  // erased flash and unwritten RAM read 0xFF
  std::vector<uint8_t> Read(uint32_t address, uint32_t length) const;
  // Sets memory contents directly (no flash rules): test set-up only.
  void Load(uint32_t address, const std::vector<uint8_t>& bytes);
  // Every command line received, in order (without "\n").
  const std::vector<std::string>& commands() const;
  // True once "reboot" has been carried out: the instrument answers no more.
  bool rebooted() const;
  // What the line noise has done so far in one direction.
  const NoiseCounts& noise_counts(Direction direction) const;

  struct Report {
    bool rebooted = false;
    bool firmware_valid = false;
    bool languages_valid = false;
    std::vector<std::string> languages;  // installed names; empty unless languages_valid
    int64_t firmware_bytes_programmed = 0;
    struct Region {
      std::string name;
      uint32_t start = 0;
      uint32_t length = 0;
      std::string sha256;  // 64 lower-case hex digits
    };
    // firmware, boot_sector, language_area, user_flash, then the same four
    // of the RAM card with the prefix "ramcard_".
    std::vector<Region> regions;
  };
  // What a reboot finds (or found) in the copy the instrument boots from. The
  // firmware is valid when its marker holds the checksum of the image and
  // its boot sector is neither blank nor partly written.
  Report MakeReport() const;
  // The report and the commands as a JSON object.
  std::string ReportJson() const;

 private:
  std::unique_ptr<Core> core_;
};

}  // namespace r7700::sim
