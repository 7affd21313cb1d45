// Fuzz target: geometry scan, texture scan, OBJ text and BMP export of one model buffer, with output and heap bounds.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceStdout();
    ReportRatiosAtExit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    ExerciseModel(Data, Size);
    return 0;
}
