// Fuzz target: scans, OBJ text and BMP export of one model buffer, against the reference writer and
// under their bounds.
#include "Exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    ExerciseModel(Data, Size);
    return 0;
}
