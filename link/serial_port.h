// The serial port as the dialogue sees it: open with the instrument's line
// settings, write in pieces, read single bytes and whole lines under a time
// limit, change the speed, close. Portable code over the serial backend seam.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/serial_backend.h"

namespace r7700 {

class RunObserver;
class WindowSurface;

// The open port, first argument of every link, dialogue and download
// operation. Not owning: the update run owns the connection (OwnedPort).
using PortHandle = SerialConnection*;
using OwnedPort = std::unique_ptr<SerialConnection>;

inline constexpr uint32_t kPortQueueBytes = 11000;
inline constexpr uint32_t kWritePieceBytes = 2048;
inline constexpr int kLineIdleLimit = 100;  // empty one-byte reads per line
// A one-byte read that finds nothing waiting gives up after 20 + 1 ms.
inline constexpr PortTimeouts kPortTimeouts{20, 1, 20, 1000};
// Consecutive write calls that move no byte before WritePort gives up on the
// rest (each has already waited its full write time limit).
inline constexpr int kMaxStalledWrites = 3;
inline constexpr int32_t kOpeningBaud = 19200;

// Position k is position k of the baud list.
inline constexpr std::array<int32_t, 5> BaudRateTable{9600, 19200, 38400, 57600, 115200};
inline constexpr int kDefaultBaudPosition = 1;

// Opens the port exclusively with 8N1, no flow control, DTR/RTS raised, both
// directions purged. When it cannot be opened, shows numbered message 104
// (reported as a problem) and returns nullptr. When the queue request is
// refused, closes the port again and returns nullptr without a message.
// When the port refuses a setting, shows PortRefusalText as a run error,
// closes the port again and returns nullptr. The open port reports its
// dialogue to observer.
OwnedPort OpenPort(SerialBackend& backend, RunObserver& observer, const std::string& name,
                   int32_t baud);
// Changes the speed and purges both directions: whatever was buffered is
// lost. A refused speed leaves the line at the one it had, unpurged.
LineResult SetPortBaud(PortHandle port, int32_t baud);
// Raises DTR and RTS and purges both directions.
LineResult RaisePortLines(PortHandle port);
// Releases the port, when one is open.
void ClosePort(OwnedPort& port);

// "COM port NAME refused 115200 baud: REASON !" for a refused speed (baud
// above 0), "COM port NAME refused its settings: REASON !" otherwise.
std::string PortRefusalText(const std::string& name, int32_t baud, const std::string& reason);

// Writes in pieces of at most 2048 bytes, continuing partial writes, then
// flushes (also for length 0). Returns the bytes written. After
// kMaxStalledWrites calls in a row that move nothing the rest is dropped.
uint32_t WritePort(PortHandle port, const void* data, uint32_t length);
// One read of up to count bytes; 0 when none arrived within the time limit.
uint32_t ReadPortBytes(PortHandle port, uint8_t* buffer, uint32_t count);
// Reads one line into buffer (NUL-terminated, LF ends it, every CR dropped,
// NUL bytes stored). Returns the characters stored; size - 1 when the
// buffer filled first; -1 after 100 empty reads in all, with what did arrive
// left in the buffer. Size 1 reads nothing and returns 0.
int32_t ReadPortLine(PortHandle port, char* buffer, uint32_t size);

inline constexpr size_t kMaxFreePorts = 9;

// The free ports found at start-up, in probe order, at most kMaxFreePorts.
struct FreePortList {
  std::vector<std::string> names;
};

// Probes every candidate name with an exclusive open and closes it at once.
void FindFreePorts(SerialBackend& backend, FreePortList& list);
// Fills the port list (1032) and selects the first; with no free port shows
// numbered message 101 and returns 101, else 0.
int FillPortList(SerialBackend& backend, FreePortList& list, WindowSurface& window);
// The name of the port chosen in list 1032 (empty when nothing is chosen).
std::string SelectedPortName(const FreePortList& list, WindowSurface& window);
// Fills the baud list (1033) and selects 19200.
void FillBaudList(WindowSurface& window);
// The rate chosen in list 1033 (19200 when nothing is chosen).
int32_t SelectedBaud(WindowSurface& window);

}  // namespace r7700
