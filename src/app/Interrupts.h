// What the programs do when they are interrupted (Ctrl-C) or told to end.
#pragma once

#include <atomic>
#include <cstddef>

#include "io/OutputFile.h"

// The signals that end a program: SIGINT and SIGTERM, and SIGHUP and SIGPIPE
// where they exist. A signal that the process was started to ignore (as a
// shell without job control starts background commands) stays ignored, as
// with Unix tools. The Count slots are where the conversions publish their
// temporary files; they and any flags must live until the process ends.

// For a program of one thread, which may be waiting for input when the
// signal comes: the handler closes every slot, removes the temporary files
// and ends the process as the signal asks.
void HandleInterrupts(TempSlot* Slots, size_t Count);

// For a program of several threads: the first SIGINT only sets Stop, so that
// the program finishes what it is doing and starts nothing new; a second
// SIGINT, or another of the signals, is kept for EndIfSignalled.
void HandleInterrupts(TempSlot* Slots, size_t Count, std::atomic<bool>* Stop);

// When such a signal has come, closes every slot (waiting for files being
// created on other threads), removes the temporary files and ends the process
// as the signal asks; otherwise returns at once. Call it often, from a thread
// that writes no output file.
void EndIfSignalled();
