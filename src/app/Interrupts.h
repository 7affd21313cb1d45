// What the programs do when they are interrupted (Ctrl-C) or told to terminate.
#pragma once

#include <atomic>
#include <cstddef>

#include "io/OutputFile.h"

// Installs the process's handlers for SIGINT and SIGTERM. The Count slots
// are where the conversions publish the temporary files they are writing.
//
// Without Stop, either signal removes every published temporary file and
// ends the process as the signal asks. With Stop, the first SIGINT only sets
// *Stop, so that the program can finish what it is doing and stop starting
// new work; a second SIGINT, or SIGTERM, ends the process as above.
// A signal that the process was started to ignore stays ignored. The slots
// and Stop must live until the process ends.
void HandleInterrupts(TempSlot* Slots, size_t Count, std::atomic<bool>* Stop = nullptr);
