// The extraction run: banner, model path, load, reports, save path, outputs, pause.
#pragma once

#include <iosfwd>

struct TempSlot;

// Runs one extraction dialogue reading tokens and characters from In and
// printing to Out. Returns the process exit code: 0 when every step succeeded
// and every output file was written; 1 when input ended early, a path was too
// long, the model file could not be read, or an output file was not written.
// Pending, when given, receives the name of each temporary output file while
// it is written, for the program's interrupt handler.
int RunExtraction(std::istream& In, std::ostream& Out, TempSlot* Pending = nullptr);
