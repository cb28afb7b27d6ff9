// The platform questions of the command line: is a standard stream a
// terminal (a console on Windows), which decides whether a progress bar is
// drawn and whether typed answers are already echoed; and the process's
// standard descriptors and signals, which decide what a closed pipe, a
// hung-up terminal or an interrupt does to a run.
#pragma once

#include <atomic>
#include <cstdio>

namespace r7700::cli {

bool IsTerminal(std::FILE* stream);

// The width of the terminal behind stream; fallback when it has none.
int TerminalColumns(std::FILE* stream, int fallback);

// Opens the null device on every standard descriptor (0, 1, 2) that is
// closed, so that no file or port opened later becomes stdout or stderr.
// Call before anything else is opened.
void MakeStandardDescriptorsValid();

// From here on a closed stdout or stderr and a hung-up terminal never end
// the program (their writes just fail), and an interrupt or termination
// request sets InterruptFlag() instead of ending it; blocking reads of the
// answer to a question return at once.
void CatchInterrupts();

// Set once an interrupt or termination request arrived.
const std::atomic<bool>& InterruptFlag();

// The exit status that reports the request: 128 + its signal number
// (130 interrupt, 143 termination); 0 while none arrived.
int InterruptExitStatus();

// Whether what is written to a and b ends up on one screen or in one file,
// so that a line one of them leaves open is continued by the other.
bool SharesScreenOrFile(std::FILE* a, std::FILE* b);

}  // namespace r7700::cli
