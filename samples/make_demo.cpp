// Writes the bundled sample model (default samples/demo.qm, or the path given).
#include <cstdio>
#include <exception>

#include "ModelBuilder.h"

int main(int argc, char** argv) {
    const char* Path = argc > 1 ? argv[1] : "samples/demo.qm";
    try {
        WriteFileBytes(Path, DemoModel().Build());
    } catch (const std::exception& E) {
        std::fprintf(stderr, "make_demo: %s\n", E.what());
        return 1;
    }
    std::printf("wrote %s\n", Path);
    return 0;
}
