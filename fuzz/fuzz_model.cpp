// Fuzz target: scans, OBJ text and BMP export of one model buffer, against the reference writer and
// under their bounds; aborts on the first input that breaks one, so that the fuzzer keeps it.
#include <cstdio>
#include <cstdlib>

#include "Exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    for (const std::string& Line : ExerciseModel(Data, Size).Broken) {
        std::fprintf(stderr, "bound broken: %s, for a file of %zu bytes\n", Line.c_str(), Size);
        std::abort();  // at the first, so that the fuzzer keeps the input
    }
    return 0;
}
