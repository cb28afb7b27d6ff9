#include "link/serial_port.h"

#include <utility>

#include "link/control_ids.h"
#include "link/dialog_observer.h"
#include "link/error_report.h"
#include "link/text_format.h"
#include "link/window_surface.h"

namespace r7700 {

namespace {

// A port that opened but refused a setting (baud 0: not the speed) is
// closed again: a run over it would talk past the instrument.
OwnedPort Refused(RunObserver& observer, const std::string& name, int32_t baud,
                  const LineResult& result) {
  ShowRunError(observer, PortRefusalText(name, baud, result.reason));
  return nullptr;
}

}  // namespace

OwnedPort OpenPort(SerialBackend& backend, RunObserver& observer, const std::string& name,
                   int32_t baud) {
  OpenResult opened = backend.Open(name);
  if (!opened) {
    ShowNumberedMessage(observer, IDS_PORT_OPEN_FAILED, IDS_CAPTION_ERROR, BoxIcon::kError,
                        name.c_str(), kMsgPortOpenFailed);
    return nullptr;
  }
  OwnedPort port = std::move(opened.port);
  // A refused queue request ends the open without a message; the port is
  // released here rather than leaked.
  if (!port->RequestQueues(kPortQueueBytes, kPortQueueBytes)) return nullptr;
  if (LineResult purged = port->Purge(); !purged.ok) return Refused(observer, name, 0, purged);
  if (LineResult limits = port->SetTimeouts(kPortTimeouts); !limits.ok) {
    return Refused(observer, name, 0, limits);
  }
  if (LineResult line = port->ConfigureLine(baud); !line.ok) {
    return Refused(observer, name, baud, line);
  }
  port->ReportDialogueTo(&observer);
  return port;
}

LineResult SetPortBaud(PortHandle port, int32_t baud) {
  if (LineResult speed = port->SetBaud(baud); !speed.ok) return speed;
  return port->Purge();
}

LineResult RaisePortLines(PortHandle port) {
  if (LineResult lines = port->RaiseLines(); !lines.ok) return lines;
  return port->Purge();
}

void ClosePort(OwnedPort& port) {
  port.reset();
}

std::string PortRefusalText(const std::string& name, int32_t baud, const std::string& reason) {
  const std::string what =
      baud > 0 ? Format("%ld baud", static_cast<long>(baud)) : std::string("its settings");
  return "COM port " + name + " refused " + what + ": " + reason + " !";
}

uint32_t WritePort(PortHandle port, const void* data, uint32_t length) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint32_t remaining = length;
  uint32_t written = 0;
  int stalled = 0;
  while (remaining != 0 && stalled < kMaxStalledWrites) {
    const uint32_t piece = remaining < kWritePieceBytes ? remaining : kWritePieceBytes;
    const uint32_t sent = port->WriteSome(bytes + written, piece);
    // A piece that went out partly is continued; one that moved nothing
    // counts towards giving up (an unplugged adapter never takes a byte).
    stalled = sent == 0 ? stalled + 1 : 0;
    written += sent;
    remaining -= sent;
  }
  port->Flush();
  return written;
}

uint32_t ReadPortBytes(PortHandle port, uint8_t* buffer, uint32_t count) {
  return port->ReadSome(buffer, count);
}

int32_t ReadPortLine(PortHandle port, char* buffer, uint32_t size) {
  buffer[0] = '\0';
  uint32_t stored = 0;
  int idle = 0;
  uint32_t last = 1;
  // The idle count runs over the whole line: bytes arriving do not restart it.
  while (stored + 1 < size && idle < kLineIdleLimit) {
    last = ReadPortBytes(port, reinterpret_cast<uint8_t*>(buffer + stored), 1);
    if (last == 0) {
      ++idle;
      continue;
    }
    const char c = buffer[stored];
    if (c == '\n') break;
    if (c == '\r') continue;  // dropped wherever it stands; the next byte overwrites it
    ++stored;
  }
  buffer[stored] = '\0';
  return last > 0 ? static_cast<int32_t>(stored) : -1;
}

void FindFreePorts(SerialBackend& backend, FreePortList& list) {
  list.names.clear();
  for (const std::string& name : backend.CandidatePortNames()) {
    if (list.names.size() == kMaxFreePorts) break;
    if (backend.Open(name).port) list.names.push_back(name);  // closed again at once
  }
}

int FillPortList(SerialBackend& backend, FreePortList& list, WindowSurface& window) {
  FindFreePorts(backend, list);
  if (list.names.empty()) {
    DialogObserver observer(window);
    ShowNumberedMessage(observer, IDS_NO_FREE_PORT, IDS_CAPTION_ERROR, BoxIcon::kError,
                        kMsgNoFreePort);
    return kMsgNoFreePort;
  }
  for (const std::string& name : list.names) window.ListAdd(IDC_PORT_LIST, name);
  window.ListSelect(IDC_PORT_LIST, 0);
  return 0;
}

std::string SelectedPortName(const FreePortList& list, WindowSurface& window) {
  const int pos = window.ListSelection(IDC_PORT_LIST);
  if (pos < 0 || static_cast<size_t>(pos) >= list.names.size()) return {};
  return list.names[static_cast<size_t>(pos)];
}

void FillBaudList(WindowSurface& window) {
  for (int32_t rate : BaudRateTable) {
    window.ListAdd(IDC_BAUD_LIST, Format("%ld", static_cast<long>(rate)));
  }
  window.ListSelect(IDC_BAUD_LIST, kDefaultBaudPosition);
}

int32_t SelectedBaud(WindowSurface& window) {
  const int pos = window.ListSelection(IDC_BAUD_LIST);
  if (pos < 0 || pos >= static_cast<int>(BaudRateTable.size())) {
    return BaudRateTable[kDefaultBaudPosition];
  }
  return BaudRateTable[static_cast<size_t>(pos)];
}

}  // namespace r7700
