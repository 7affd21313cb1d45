// Fuzz target: scans, OBJ text and BMP export of one model buffer, against the reference writer and
// under their bounds; aborts on the first input that breaks one, so that the fuzzer keeps it.
#include <cstdio>
#include <cstdlib>

#include "Exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const Exercised E = ExerciseModel(Data, Size);
    for (const std::string& Line : E.Broken)
        std::fprintf(stderr, "bound broken: %s, for a file of %zu bytes\n", Line.c_str(), Size);
    if (!E.Broken.empty()) std::abort();
    return 0;
}
