// What an update run reports, in its own terms: every stage of a run tells
// its observer what happens (log text, progress, questions, problems,
// frames on the line, the end), and each front end shows that its own way.
// The Windows program's observer writes the dialog's controls; the command
// line's prints, records and traces. No front end reads a control or a
// formatted text back to learn what happened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/window_surface.h"

namespace r7700 {

// What a progress phase counts: the bytes of an image transfer, or steps
// of anything else (erase ticks, the test load's pieces, dump rows).
enum class ProgressUnit { kBytes, kTicks };

// Where a downloader frame went.
enum class FrameRegion { kTestLoad, kFirmware, kLanguages };

// Which progress phase begins, whatever its caption: the captions repeat
// ("Erasing ..." and "Bytes transferred:" for the firmware and the
// languages alike), the phases do not.
enum class RunStage {
  kTestLoad,  // the test pattern into RAM
  kTestDump,  // the pattern read back row by row
  kFirmwareErase,
  kUserFlashErase,
  kFirmwareTransfer,
  kLanguageErase,
  kLanguageTransfer,
};

// The erase and the transfer of the region a span download writes.
inline RunStage EraseStage(FrameRegion region) {
  return region == FrameRegion::kLanguages ? RunStage::kLanguageErase : RunStage::kFirmwareErase;
}
inline RunStage TransferStage(FrameRegion region) {
  return region == FrameRegion::kLanguages ? RunStage::kLanguageTransfer
                                           : RunStage::kFirmwareTransfer;
}

struct FrameEvent {
  FrameRegion region = FrameRegion::kFirmware;
  uint32_t address = 0;
  uint32_t length = 0;         // data bytes; 0 is the end block
  std::optional<uint8_t> ack;  // the byte that answered it, when one did
};

// The end block that closes a transfer into region.
inline FrameEvent EndFrame(FrameRegion region) {
  FrameEvent frame;
  frame.region = region;
  return frame;
}

// How a run ended. An interrupt is an end of its own, never a failure.
enum class RunEnd { kSucceeded, kFailed, kDeclined, kInterrupted };

class RunObserver {
 public:
  virtual ~RunObserver() = default;

  // Status log text as the stage writes it: "\n" ends a line, and a line
  // may come in pieces ("Downloading:" first, its end later).
  virtual void LogText(std::string_view text) = 0;
  // Empties the status log; take_focus as before the run's first question.
  virtual void LogCleared(bool take_focus) = 0;
  // The progress phase stage begins under this caption.
  virtual void StageBegun(RunStage stage, std::string_view caption) = 0;
  // done of total so far in the phase; done 0 restarts the phase's count.
  virtual void Progress(int64_t done, int64_t total, ProgressUnit unit) = 0;
  // The phase's work is complete, whatever its count reached (a transfer's
  // last bytes may be written apart, as the firmware's marker is).
  virtual void StageCompleted() {}
  // A Yes/No question; true for Yes.
  virtual bool Ask(std::string_view text, std::string_view caption, BoxIcon icon) = 0;
  // A problem the user must acknowledge (a numbered message or a run error).
  virtual void Problem(std::string_view text, std::string_view caption, BoxIcon icon) = 0;
  // Entry of the program's string table, cut to buffer_bytes - 1 characters.
  virtual std::string MessageText(int entry, size_t buffer_bytes) = 0;
  // A downloader frame and how it was answered.
  virtual void Frame(const FrameEvent&) {}
  // A command line sent to the instrument and a reply line read from it,
  // without line ends (a read the idle limit ended gives what did arrive).
  virtual void CommandSent(std::string_view /*line*/) {}
  virtual void LineReceived(std::string_view /*line*/) {}
  // The run's end. Only a run that reached its end reports it.
  virtual void Finished(RunEnd) {}
};

}  // namespace r7700
