// The in-process serial link to a simulated instrument, on a VirtualClock:
// the tests' SerialBackend. Writes take the time the bytes need on the line
// (10 bits a byte at the PC's speed); reads return what has arrived or move
// the clock on to the next byte or to the read time limit.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/serial_backend.h"
#include "sim/instrument.h"

namespace r7700 {

class SimConnection;

// Open("SIM") gives a connection (one at a time, exclusive);
// CandidatePortNames() is {"SIM"}. The backend must outlive its connections.
class SimBackend : public SerialBackend {
 public:
  SimBackend(sim::Instrument& instrument, VirtualClock& clock);

  OpenResult Open(const std::string& name) override;
  std::vector<std::string> CandidatePortNames() override;

  // From now on the PC end refuses this speed and keeps the one it had.
  void RefuseSpeed(int32_t baud) { refused_baud_ = baud; }

  const std::vector<uint8_t>& sent() const { return sent_; }          // every byte the PC wrote
  const std::vector<uint8_t>& received() const { return received_; }  // every byte the PC read
  int32_t pc_baud() const { return pc_baud_; }                        // the PC end's current speed
  int purge_count() const { return purge_count_; }

 private:
  friend class SimConnection;

  // Moves what the instrument has finished sending into the PC's queue, as
  // the PC's UART decoded it at its current speed.
  void Pump();

  sim::Instrument& instrument_;
  VirtualClock& clock_;
  bool open_ = false;
  // A port nobody configured runs at 9600 baud.
  int32_t pc_baud_ = 9600;
  int32_t refused_baud_ = 0;
  int purge_count_ = 0;
  PortTimeouts timeouts_{};
  std::deque<uint8_t> pc_queue_;
  std::vector<uint8_t> sent_;
  std::vector<uint8_t> received_;
};

}  // namespace r7700
